// A simulated module served on its own thread, for tests and tools written in C++: it opens a
// new pty (or a given tty), answers on it until stopped, and keeps every line event in memory.
#ifndef DRIVERPANEL_TOOLS_SIMULATOR_PTY_MODULE_H
#define DRIVERPANEL_TOOLS_SIMULATOR_PTY_MODULE_H

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/simulator/line_event.h"
#include "tools/simulator/module_config.h"
#include "tools/simulator/module_port.h"
#include "tools/simulator/module_simulator.h"
#include "tools/simulator/serve_module.h"

namespace simulator {

// Start, Stop and HangUp belong to the owner's thread; the event readers work from any thread.
class PtyModule {
  public:
    using EventPredicate = std::function<bool(const std::vector<LineEvent>&)>;

    // On a new pty. `sink`, if given, also sees every line event, on the serving thread.
    explicit PtyModule(const ModuleConfig& config, ModuleSimulator::EventSink sink = {});
    // On an existing tty such as one end of a socat pair.
    PtyModule(const ModuleConfig& config, const std::string& devicePath,
              ModuleSimulator::EventSink sink = {});
    PtyModule(const PtyModule&) = delete;
    PtyModule& operator=(const PtyModule&) = delete;
    ~PtyModule();

    // What the panel opens: the pty's slave path or the device path.
    const std::string& Path() const { return path_; }

    void Start();
    // Stops answering; the line stays open until HangUp or destruction. Safe to repeat.
    void Stop();
    // Stops and closes the line, which the panel's end sees as a hang-up.
    void HangUp();

    std::vector<LineEvent> Events() const;
    // The received part of Events: frames and noise from the panel.
    std::vector<LineEvent> Received() const;
    // Blocks until `predicate` holds for the events so far, or `timeout` passes; whether it held.
    bool WaitFor(const EventPredicate& predicate, std::chrono::milliseconds timeout) const;
    // How the serving loop ended, once it has.
    std::optional<ServeResult> Result() const;
    bool WaitForEnd(std::chrono::milliseconds timeout) const;

  private:
    PtyModule(const ModuleConfig& config, ModulePort port, ModuleSimulator::EventSink sink);
    void Record(const LineEvent& event);
    void Serve();

    ModulePort port_;                  // serving thread while it runs, otherwise the owner's
    std::string path_;                 // fixed at construction
    ModuleSimulator::EventSink sink_;  // serving thread
    ModuleSimulator simulator_;        // serving thread while it runs, otherwise the owner's
    int stopFd_ = -1;                  // an eventfd: written by Stop, read by no one
    std::thread thread_;               // owner's thread only

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;  // events_ or result_ changed
    std::vector<LineEvent> events_;            // guarded by mutex_
    std::optional<ServeResult> result_;        // guarded by mutex_
};

}  // namespace simulator

#endif
