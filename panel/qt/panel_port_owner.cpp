// The port worker's crossings onto Qt's event loop.
#include "panel/qt/panel_port_owner.h"

#include "panel/qt/message_boxes.h"

PanelPortOwner::PanelPortOwner()
    : EventLoopPortOwner(ShowApplicationErrorBox),
      byteNotifier_(ByteReadyFd(), QSocketNotifier::Read),
      errorNotifier_(ErrorRequestFd(), QSocketNotifier::Read),
      hangUpNotifier_(HangUpFd(), QSocketNotifier::Read) {
    QObject::connect(&byteNotifier_, &QSocketNotifier::activated, [this] { HandleByte(); });
    QObject::connect(&errorNotifier_, &QSocketNotifier::activated,
                     [this] { HandleErrorRequest(); });
    QObject::connect(&hangUpNotifier_, &QSocketNotifier::activated, [this] { HandleHangUp(); });
}
