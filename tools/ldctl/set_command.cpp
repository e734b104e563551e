// `ldctl set`: the value typed into the panel's current field and applied as SET applies it,
// then the panel left running until the module has answered every set frame sent meanwhile.
#include <cctype>
#include <climits>
#include <iostream>
#include <nlohmann/json.hpp>

#include "panel/typed_value.h"
#include "protocol/frame.h"
#include "protocol/reply_assembler.h"
#include "protocol/reply_layout.h"
#include "resources/resource.h"
#include "tools/ldctl/commands.h"
#include "tools/ldctl/console_host.h"
#include "tools/ldctl/exit_status.h"

namespace {

// A script's value is taken only as a plain decimal: an optional sign, ASCII digits, at most one
// point. The field's own reading would turn any other text ("N/A", "nan", "0x1F4", "12abc", a
// blank) into some current, most often 0 mA, and a script would be told that worked.
bool IsPlainDecimal(const std::string& text) {
    std::size_t at = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    bool digit = false;
    bool point = false;
    for (; at < text.size(); ++at) {
        if (text[at] >= '0' && text[at] <= '9') {
            digit = true;
        } else if (text[at] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digit;
}

// Whether the field's rules had to hold the typed value to 0 ... maximum, rather than only
// truncate it: the value read without the upper limit is above what was applied, or the text
// reads as a number of -1 or less (read as its magnitude with the sign turned to '+').
bool WasClamped(const std::string& typed, std::int32_t applied) {
    if (TypedValueInRange(typed, INT32_MAX) > applied) {
        return true;
    }
    std::string magnitude = typed;
    const auto sign = magnitude.find_first_not_of(" \t\n\v\f\r");
    if (sign == std::string::npos || magnitude[sign] != '-') {
        return false;
    }
    magnitude[sign] = '+';
    return TypedValueInRange(magnitude, INT32_MAX) > 0;
}

}  // namespace

int RunSet(const SetOptions& options) {
    if (!IsPlainDecimal(options.milliamps)) {
        throw CommandFailure(ExitStatus::kUsage,
                             "MA is not a plain decimal number of mA (digits, an optional sign "
                             "and point): '" +
                                 options.milliamps + "'; nothing was sent");
    }
    StopSignals signals;
    ConsoleHost host(signals);

    // The module answers each set frame with its setpoints. A configuration reply also carries
    // them, but a slow module may still be answering queries sent before the set frame. The
    // bytes are taken without their times: the panel's own waits hold them back and would read
    // as pauses inside a reply, which only the panel's assembler knows to discount.
    ReplyAssembler replies;
    int answers = 0;
    host.OnReceived([&](std::uint8_t byte) {
        const auto reply = replies.Take(byte, 0);
        if (!reply.empty() && reply[kCodeIndex] == REPLY_SETPOINTS &&
            ReplyCarries(reply, kSetpointsMinLength)) {
            ++answers;
        }
    });

    host.Open(options.port);
    host.AwaitConfiguration();

    host.window.SetControlText(IDC_CURRENT, options.milliamps);
    const int warnings = host.WarningsShown();
    const int setFramesBefore = host.countingService.SetFramesQueued();
    // From here on the panel may send the value applied (again, when its confirmation is late);
    // before, nothing this command did asked for a set frame.
    host.countingService.AllowSetFrames();
    host.logic.Apply();
    if (host.WarningsShown() > warnings) {
        host.Close();
        throw CommandFailure(ExitStatus::kUsage, "");  // the panel's box said why
    }
    const std::int32_t applied = host.state.ActiveSetpoint();
    const std::int32_t maximum = host.state.ActiveMaximum();
    if (WasClamped(options.milliamps, applied)) {
        std::cerr << "ldctl: " << options.port << ": " << options.milliamps
                  << " mA is outside 0 ... " << maximum << " mA; " << applied << " mA sent"
                  << std::endl;
    }

    // Every set frame the panel sends from here on must be answered: the setpoint printed is the
    // module's answer to the last one.
    answers = 0;
    const auto confirmed = [&] {
        const int sent = host.countingService.SetFramesQueued() - setFramesBefore;
        return sent > 0 && answers >= sent;
    };
    const auto ended = host.loop.RunUntil([&] { return confirmed() || host.PortLost(); },
                                          ConsoleLoop::Clock::now() + kAnswerTimeout);
    const std::int32_t setpoint = host.state.ActiveSetpoint();
    const bool lost = host.PortLost();
    const CommandFailure lostFailure = host.LostPortFailure();
    host.Close();
    if (lost) {
        throw lostFailure;
    }
    if (ended == ConsoleLoop::End::kStopSignal && !confirmed()) {
        throw CommandFailure(SignalStatus(host.loop.StopSignal()), "");
    }
    if (!confirmed()) {
        throw CommandFailure(ExitStatus::kNoAnswer,
                             options.port + ": no confirmation of " + std::to_string(applied) +
                                 " mA from the module within " +
                                 std::to_string(kAnswerTimeout.count()) + " s");
    }
    if (options.json) {
        std::cout << nlohmann::ordered_json{{"port", options.port},
                                            {"setpoint_ma", setpoint},
                                            {"sent_ma", applied},
                                            {"clamped", WasClamped(options.milliamps, applied)},
                                            {"variant", host.state.UsesVariantB() ? "B" : "A"}}
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
