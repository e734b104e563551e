// Peer receiver: this program's own receive path. The pty is linked as a virtual port, opened
// with the panel's port object and line settings, and read on the UI thread when the panel's
// port owner's notifier finds it readable; the byte handler takes each byte.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "bench/peer_receiver.h"
#include "hosts/qt/panel_port_owner.h"
#include "panel/connection_settings.h"
#include "serial/linux/comm_port.h"
#include "serial/linux/port_registry.h"

namespace {

// The pty as a virtual port in a private directory, as the port list would find it.
class VirtualPortLink {
  public:
    explicit VirtualPortLink(const std::string& tty) {
        char dirTemplate[] = "/tmp/driverpanel-peer-XXXXXX";
        if (mkdtemp(dirTemplate) == nullptr) {
            return;
        }
        directory_ = dirTemplate;
        std::error_code error;
        std::filesystem::create_symlink(tty, directory_ + "/peer0", error);
    }
    ~VirtualPortLink() {
        if (!directory_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(directory_, ignored);
        }
    }
    VirtualPortLink(const VirtualPortLink&) = delete;
    VirtualPortLink& operator=(const VirtualPortLink&) = delete;

    const std::string& Directory() const { return directory_; }

  private:
    std::string directory_;
};

class PanelPath : public OpenedPath {
  public:
    PanelPath(const std::string& tty, PeerRecorder& recorder)
        : link_(tty), registry_([] { return std::vector<HardwarePort>{}; }, link_.Directory()) {
        owner_.Serve(port_);
        owner_.Attach(
            {[&recorder](std::uint8_t byte, int, std::int64_t) { recorder.Take(byte); }, {}});
    }
    ~PanelPath() override {
        port_.Shutdown();
        owner_.Detach();
    }
    PanelPath(const PanelPath&) = delete;
    PanelPath& operator=(const PanelPath&) = delete;

    bool Open() {
        int portNumber = 0;
        for (int n = 1; n <= PortRegistry::kMaxPorts && portNumber == 0; ++n) {
            portNumber = registry_.Probe(n) ? n : 0;
        }
        return portNumber != 0 && port_.Setup(portNumber, kConnectionSettings).Opened() &&
               port_.StartWorker();
    }

  private:
    VirtualPortLink link_;
    PortRegistry registry_;
    PanelPortOwner owner_;
    CCommPort port_{registry_, owner_};
};

}  // namespace

int main(int argc, char** argv) {
    return RunPeerReceiver(argc, argv, [](const std::string& tty, PeerRecorder& recorder) {
        auto path = std::make_unique<PanelPath>(tty, recorder);
        if (!path->Open()) {
            std::fprintf(stderr, "the panel's port object could not open %s\n", tty.c_str());
            return std::unique_ptr<OpenedPath>();
        }
        return std::unique_ptr<OpenedPath>(std::move(path));
    });
}
