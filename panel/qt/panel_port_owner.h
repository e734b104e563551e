// The panel's side of the port's worker on Qt: received bytes, error boxes and hang-ups cross
// from the worker thread to the UI thread here. Outlives the panel window, because the port
// object (and its worker) outlive it; once detached, nothing reaches the panel any more and the
// worker is never kept waiting.
#ifndef DRIVERPANEL_PANEL_QT_PANEL_PORT_OWNER_H
#define DRIVERPANEL_PANEL_QT_PANEL_PORT_OWNER_H

#include <QSocketNotifier>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "serial/posix/byte_hand_off.h"
#include "serial/posix/event_fd.h"
#include "serial/port_owner.h"

class PanelPortOwner : public PortOwner {
  public:
    struct Handlers {
        std::function<void(std::uint8_t byte, int portNumber)> byte;
        std::function<void()> hangUp;
    };

    // Build on the UI thread, after the application object.
    PanelPortOwner();
    ~PanelPortOwner() override;
    PanelPortOwner(const PanelPortOwner&) = delete;
    PanelPortOwner& operator=(const PanelPortOwner&) = delete;

    // UI thread: who handles what arrives. Detach() when the panel closes; it is final.
    void Attach(Handlers handlers);
    void Detach();

    void DeliverByte(std::uint8_t byte, int portNumber) override;
    void DispatchPending() override;
    void ShowApplicationError(const std::string& text) override;
    void PortHungUp(int portNumber) override;

  private:
    bool OnUiThread() const { return std::this_thread::get_id() == uiThread_; }
    void HandleByte();
    void HandleErrorRequest();
    void HandleHangUp();

    const std::thread::id uiThread_;
    ByteHandOff bytes_;
    EventFd errorRequested_{EventFd::Mode::NonBlocking};  // worker to UI: errorText_ is set
    EventFd hungUp_{EventFd::Mode::NonBlocking};          // worker to UI: the port hung up

    std::mutex errorLock_;
    std::condition_variable errorShown_;
    std::optional<std::string> errorText_;  // guarded by errorLock_: the box the worker waits on
    bool detached_ = false;                 // guarded by errorLock_

    Handlers handlers_;  // UI thread only
    QSocketNotifier byteNotifier_;
    QSocketNotifier errorNotifier_;
    QSocketNotifier hangUpNotifier_;
};

#endif
