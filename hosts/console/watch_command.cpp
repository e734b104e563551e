// `ldctl watch`: the panel opened on the port and left polling; each temperature the panel shows,
// followed by the power it shows next, makes one reading line.
#include <cstdint>
#include <functional>
#include <iostream>
#include <optional>

#include "hosts/console/commands.h"
#include "hosts/console/console_host.h"
#include "hosts/console/exit_status.h"

namespace {

// A module that answers nothing for this long while polled (twenty polls) is taken as silent.
constexpr std::chrono::seconds kReadingTimeout{10};

using Clock = ConsoleLoop::Clock;

// Each temperature the panel reports, followed by the power it reports next, makes one reading,
// in the panel's own number formats. A reading means something only against the module's
// configuration (its variant scales the power, its setpoint is printed beside it): replies before
// it, a slow module still answering an earlier program's polls, are not readings.
class ReadingListener : public PanelListener {
  public:
    explicit ReadingListener(std::function<void(const Reading&)> onReading)
        : onReading_(std::move(onReading)) {}

    void OnConfiguration(const PanelConfiguration& configuration) override {
        configured_ = true;
        setpoint_ = configuration.activeSetpoint;
    }
    // A re-open asks for the configuration again: another module may be behind the port.
    void OnPortOpened(const PanelPortOpened&) override { configured_ = false; }
    void OnPortClosed(const PanelPortClosed&) override { configured_ = false; }
    void OnSetpointsConfirmed(const PanelSetpoints& setpoints) override {
        setpoint_ = setpoints.activeSetpoint;
    }
    void OnTemperature(const PanelTemperature& temperature) override {
        temperature_.reset();
        if (configured_) {
            temperature_ = ShownTemperature(temperature);
        }
    }
    void OnPower(const PanelPower& power) override {
        if (!configured_ || !temperature_) {
            temperature_.reset();
            return;
        }
        const Reading reading{std::chrono::system_clock::now(), *temperature_, ShownPower(power),
                              std::to_string(setpoint_), power.variant};
        temperature_.reset();
        onReading_(reading);
    }

  private:
    bool configured_ = false;
    std::function<void(const Reading&)> onReading_;
    std::optional<std::string> temperature_;  // reported since the last reading
    std::int32_t setpoint_ = 0;
};

}  // namespace

int RunWatch(const WatchOptions& options) {
    ReadingOutput output(std::cout, options.format);

    long long readings = 0;
    bool outputFailed = false;
    std::string outputError;  // said as the failed write left errno
    const auto failOutput = [&] {
        outputFailed = true;
        outputError = StandardOutputError();
    };
    bool begun = false;  // the CSV header is out
    const auto begin = [&] {
        if (!begun && !outputFailed && !output.Begin()) {
            failOutput();
        }
        begun = true;
    };
    Clock::time_point lastReading{};
    ReadingListener listener([&](const Reading& reading) {
        if (outputFailed) {
            return;
        }
        begin();
        if (outputFailed) {
            return;
        }
        if (!output.Write(reading)) {
            failOutput();
            return;
        }
        ++readings;
        lastReading = Clock::now();
    });
    StopSignals signals;
    ConsoleHost host(signals);  // after the listener, which must outlive it
    host.logic.AddListener(listener);

    host.Open(options.port);
    const Clock::time_point opened = Clock::now();
    host.AwaitConfiguration();
    begin();
    lastReading = Clock::now();

    std::optional<Clock::time_point> end;
    if (options.durationS) {
        end = opened + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(*options.durationS));
    }
    const auto finished = [&] {
        return outputFailed || host.PortLost() || (options.count && readings >= *options.count);
    };
    bool silent = false;
    int stopSignal = 0;
    for (;;) {
        const Clock::time_point silentAt = lastReading + kReadingTimeout;
        const auto ended = host.loop.RunUntil(finished, end && *end < silentAt ? *end : silentAt);
        if (ended == ConsoleLoop::End::kStopSignal) {
            stopSignal = host.loop.StopSignal();
            break;
        }
        if (ended == ConsoleLoop::End::kDone || (end && Clock::now() >= *end)) {
            break;
        }
        if (Clock::now() >= lastReading + kReadingTimeout) {
            silent = true;
            break;
        }
    }

    const bool lost = host.PortLost();
    const CommandFailure lostFailure = host.LostPortFailure();
    host.Close();
    if (lost) {
        throw lostFailure;
    }
    if (outputFailed && readings == 0) {
        throw CommandFailure(ExitStatus::kInternal, outputError);
    }
    if (silent) {
        throw CommandFailure(ExitStatus::kNoAnswer,
                             options.port + ": no reading from the module for " +
                                 std::to_string(kReadingTimeout.count()) + " s");
    }
    if (readings == 0) {
        if (stopSignal != 0) {
            throw CommandFailure(SignalStatus(stopSignal), "");
        }
        throw CommandFailure(ExitStatus::kNoAnswer,
                             options.port + ": no reading from the module before the end");
    }
    return ToInt(ExitStatus::kOk);
}
