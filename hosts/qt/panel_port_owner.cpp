// The port's descriptor watched on Qt's event loop.
#include "hosts/qt/panel_port_owner.h"

#include "hosts/qt/message_boxes.h"

namespace {

// A notifier follows the port's descriptor, which changes with every open.
void Follow(QSocketNotifier& notifier, int fd, bool watched) {
    if (!watched || fd < 0) {
        notifier.setEnabled(false);
        return;
    }
    if (notifier.socket() != fd) {
        notifier.setSocket(fd);  // leaves it disabled
    }
    notifier.setEnabled(true);
}

}  // namespace

PanelPortOwner::PanelPortOwner()
    : EventLoopPortOwner(ShowApplicationErrorBox, [this](int fd, bool readable, bool writable) {
          Watch(fd, readable, writable);
      }) {}

void PanelPortOwner::Serve(CCommPort& port) {
    QObject::connect(&readable_, &QSocketNotifier::activated, [&port] { port.OnReadable(); });
    QObject::connect(&writable_, &QSocketNotifier::activated, [&port] { port.OnWritable(); });
}

void PanelPortOwner::Watch(int fd, bool readable, bool writable) {
    Follow(readable_, fd, readable);
    Follow(writable_, fd, writable);
}
