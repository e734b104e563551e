// `ldctl watch`: the panel opened on the port and left polling; each temperature the panel shows,
// followed by the power it shows next, makes one reading line.
#include <iostream>
#include <optional>

#include "resources/resource.h"
#include "tools/ldctl/commands.h"
#include "tools/ldctl/console_host.h"
#include "tools/ldctl/exit_status.h"

namespace {

// A module that answers nothing for this long while polled (twenty polls) is taken as silent.
constexpr std::chrono::seconds kReadingTimeout{10};

using Clock = ConsoleLoop::Clock;

}  // namespace

int RunWatch(const WatchOptions& options) {
    StopSignals signals;
    ConsoleHost host(signals);
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
    std::optional<std::string> temperature;  // shown since the last reading
    Clock::time_point lastReading{};
    // A reading means something only against the module's configuration (its variant scales the
    // power, its setpoint is printed beside it): replies before it, a slow module still answering
    // an earlier program's polls, are not readings.
    host.window.OnTextWritten([&](int controlId, const std::string& text) {
        if (!host.state.configured) {
            temperature.reset();
            return;
        }
        if (controlId == IDC_LD_TEMP) {
            temperature = text;
            return;
        }
        if (controlId != IDC_POWER || !temperature || outputFailed) {
            return;
        }
        const Reading reading{std::chrono::system_clock::now(), *temperature, text,
                              std::to_string(host.state.ActiveSetpoint()),
                              host.state.UsesVariantB() ? 'B' : 'A'};
        temperature.reset();
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
