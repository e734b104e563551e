// `ldctl set`: the value typed into the panel's current field and applied as SET applies it,
// then the panel left running until the module has answered every set frame sent meanwhile.
#include <iostream>
#include <nlohmann/json.hpp>

#include "hosts/console/commands.h"
#include "hosts/console/console_host.h"
#include "hosts/console/exit_status.h"
#include "hosts/console/plain_decimal.h"
#include "hosts/console/set_confirmation.h"

int RunSet(const SetOptions& options) {
    if (!IsPlainDecimal(options.milliamps)) {
        throw CommandFailure(ExitStatus::kUsage,
                             "MA is not a plain decimal number of mA (digits, an optional sign "
                             "and point): '" +
                                 options.milliamps + "'; nothing was sent");
    }
    StopSignals signals;
    SetConfirmation confirmation;  // outlives the host it listens to
    ConsoleHost host(signals);

    host.Open(options.port);
    host.AwaitConfiguration();

    // Every set frame the panel sends from here on must be answered: the setpoint printed is the
    // module's answer to the last one.
    host.logic.AddListener(confirmation);
    const SetOutcome outcome = host.logic.SetCurrentText(options.milliamps);
    if (outcome.status != SetStatus::Sent) {
        host.Close();
        throw CommandFailure(ExitStatus::kPortFailed,
                             options.port +
                                 ": the panel sent nothing (the port closed or the "
                                 "module's configuration was lost)");
    }
    const std::int32_t applied = outcome.milliamps;
    if (outcome.clamped) {
        std::cerr << "ldctl: " << options.port << ": " << options.milliamps
                  << " mA is outside 0 ... " << host.Configuration().activeMaximum << " mA; "
                  << applied << " mA sent" << std::endl;
    }

    const auto ended =
        host.loop.RunUntil([&] { return confirmation.Confirmed() || host.PortLost(); },
                           ConsoleLoop::Clock::now() + kAnswerTimeout);
    const bool confirmed = confirmation.Confirmed();
    const std::int32_t setpoint = confirmation.Setpoint();
    const bool lost = host.PortLost();
    const CommandFailure lostFailure = host.LostPortFailure();
    host.Close();
    if (lost) {
        throw lostFailure;
    }
    if (ended == ConsoleLoop::End::kStopSignal && !confirmed) {
        throw CommandFailure(SignalStatus(host.loop.StopSignal()), "");
    }
    if (!confirmed) {
        throw CommandFailure(ExitStatus::kNoAnswer,
                             options.port + ": no confirmation of " + std::to_string(applied) +
                                 " mA from the module within " +
                                 std::to_string(kAnswerTimeout.count()) + " s");
    }
    if (options.json) {
        std::cout << nlohmann::ordered_json{{"port", options.port},
                                            {"setpoint_ma", setpoint},
                                            {"sent_ma", applied},
                                            {"clamped", outcome.clamped},
                                            {"variant", std::string(1, outcome.channel)}}
                         .dump()
                  << std::endl;
    } else {
        std::cout << setpoint << " mA" << std::endl;
    }
    if (!std::cout) {
        // The module holds the value either way; the script must learn that its record of it
        // was lost.
        throw CommandFailure(
            ExitStatus::kInternal,
            StandardOutputError() + "; the module confirmed " + std::to_string(setpoint) + " mA");
    }
    if (setpoint != applied) {
        throw CommandFailure(ExitStatus::kNoAnswer, options.port + ": the module confirmed " +
                                                        std::to_string(setpoint) + " mA, not the " +
                                                        std::to_string(applied) + " mA sent");
    }
    return ToInt(ExitStatus::kOk);
}
