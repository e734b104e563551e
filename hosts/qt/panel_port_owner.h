// The panel's port owner on Qt: the shared event-loop owner, with two socket notifiers on the UI
// thread watching the port's descriptor for the port object. Outlives the panel window, because
// the port object outlives it; once detached, nothing reaches the panel.
#ifndef DRIVERPANEL_HOSTS_QT_PANEL_PORT_OWNER_H
#define DRIVERPANEL_HOSTS_QT_PANEL_PORT_OWNER_H

#include <QSocketNotifier>

#include "serial/linux/comm_port.h"
#include "serial/linux/event_loop_port_owner.h"

class PanelPortOwner : public EventLoopPortOwner {
  public:
    // Build on the UI thread, after the application object.
    PanelPortOwner();

    // The port object the notifiers serve; before its first Setup.
    void Serve(CCommPort& port);

  private:
    void Watch(int fd, bool readable, bool writable);

    QSocketNotifier readable_{QSocketNotifier::Read};
    QSocketNotifier writable_{QSocketNotifier::Write};
};

#endif
