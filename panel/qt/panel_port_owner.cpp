// Worker-to-UI crossings of the panel on Qt.
#include "panel/qt/panel_port_owner.h"

#include "panel/qt/message_boxes.h"

PanelPortOwner::PanelPortOwner()
    : uiThread_(std::this_thread::get_id()),
      byteNotifier_(bytes_.ReadyFd(), QSocketNotifier::Read),
      errorNotifier_(errorRequested_.Fd(), QSocketNotifier::Read),
      hangUpNotifier_(hungUp_.Fd(), QSocketNotifier::Read) {
    QObject::connect(&byteNotifier_, &QSocketNotifier::activated, [this] { HandleByte(); });
    QObject::connect(&errorNotifier_, &QSocketNotifier::activated,
                     [this] { HandleErrorRequest(); });
    QObject::connect(&hangUpNotifier_, &QSocketNotifier::activated, [this] { HandleHangUp(); });
}

PanelPortOwner::~PanelPortOwner() {
    Detach();
}

void PanelPortOwner::Attach(Handlers handlers) {
    handlers_ = std::move(handlers);
}

void PanelPortOwner::Detach() {
    {
        std::lock_guard lock(errorLock_);
        detached_ = true;
    }
    errorShown_.notify_all();
    bytes_.Close();
    handlers_ = Handlers{};
}

void PanelPortOwner::DeliverByte(std::uint8_t byte, int portNumber) {
    bytes_.Deliver(ReceivedByte{byte, portNumber});
}

void PanelPortOwner::DispatchPending() {
    // Only what the worker can be waiting on; other events wait for the event loop, so nothing
    // else of the panel runs in the middle of closing the port.
    HandleByte();
    HandleErrorRequest();
}

void PanelPortOwner::ShowApplicationError(const std::string& text) {
    std::unique_lock lock(errorLock_);
    if (detached_) {
        return;  // the panel has closed: the program is ending without a word
    }
    if (OnUiThread()) {
        lock.unlock();
        ShowApplicationErrorBox(text);
        return;
    }
    errorText_ = text;
    errorRequested_.Signal();
    errorShown_.wait(lock, [this] { return !errorText_ || detached_; });
}

void PanelPortOwner::PortHungUp(int) {
    hungUp_.Signal();
}

void PanelPortOwner::HandleByte() {
    const std::optional<ReceivedByte> received = bytes_.TakeReady();
    if (!received) {
        return;
    }
    if (handlers_.byte) {
        handlers_.byte(received->byte, received->portNumber);
    }
    bytes_.MarkHandled();
}

void PanelPortOwner::HandleErrorRequest() {
    if (!errorRequested_.Take()) {
        return;
    }
    std::string text;
    {
        std::lock_guard lock(errorLock_);
        if (!errorText_ || detached_) {
            return;
        }
        text = *errorText_;
    }
    ShowApplicationErrorBox(text);
    {
        std::lock_guard lock(errorLock_);
        errorText_.reset();
    }
    errorShown_.notify_all();
}

void PanelPortOwner::HandleHangUp() {
    if (hungUp_.Take() && handlers_.hangUp) {
        handlers_.hangUp();
    }
}
