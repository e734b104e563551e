// The panel's side of the port's worker on Qt: the shared event-loop owner, watched by three
// socket notifiers on the UI thread. Outlives the panel window, because the port object (and its
// worker) outlive it; once detached, nothing reaches the panel and the worker is never kept
// waiting.
#ifndef DRIVERPANEL_PANEL_QT_PANEL_PORT_OWNER_H
#define DRIVERPANEL_PANEL_QT_PANEL_PORT_OWNER_H

#include <QSocketNotifier>

#include "serial/posix/event_loop_port_owner.h"

class PanelPortOwner : public EventLoopPortOwner {
  public:
    // Build on the UI thread, after the application object.
    PanelPortOwner();

  private:
    QSocketNotifier byteNotifier_;
    QSocketNotifier errorNotifier_;
    QSocketNotifier hangUpNotifier_;
};

#endif
