// `ldctl decode`: bytes through the reply assembler, and each reply it accepts through the
// panel's own reply effects, so fields read and values shown are exactly the panel's; a
// configuration earlier in the stream sets the variant for what follows, as on the line.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <map>

#include "protocol/frame.h"
#include "protocol/reply_assembler.h"
#include "resources/resource.h"
#include "tools/ldctl/commands.h"
#include "tools/ldctl/console_host.h"
#include "tools/ldctl/exit_status.h"
#include "tools/ldctl/hex_bytes.h"

namespace {

std::string Join(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        text += word;
        text += ' ';
    }
    return text;
}

const char* ReplyName(std::uint8_t type) {
    switch (type) {
        case REPLY_CONFIG:
            return "CONFIG";
        case REPLY_SETPOINTS:
            return "SETPOINTS";
        case REPLY_TEMP:
            return "TEMP";
        case REPLY_POWER:
            return "POWER";
        default:
            return nullptr;
    }
}

char Variant(const DeviceState& state) {
    return state.UsesVariantB() ? 'B' : 'A';
}

// What one accepted reply did: the fields the panel stored and the texts it showed.
std::string Describe(std::uint8_t type, const DeviceState& s,
                     const std::map<int, std::string>& shown) {
    const char* name = ReplyName(type);
    if (name == nullptr) {
        char text[48];
        std::snprintf(text, sizeof text, "type 0x%02X: not read by the panel", type);
        return text;
    }
    if (shown.empty()) {
        return std::string(name) + ": too short for its fields, ignored by the panel";
    }
    const auto text = [&](int id) {
        const auto it = shown.find(id);
        return it == shown.end() ? std::string() : it->second;
    };
    const std::string variant(1, Variant(s));
    switch (type) {
        case REPLY_CONFIG:
            return "CONFIG  setpoint A " + std::to_string(s.setpointA) + " mA, B " +
                   std::to_string(s.setpointB) + " mA; maximum A " + std::to_string(s.maxA) +
                   " mA, B " + std::to_string(s.maxB) + " mA; variant " +
                   std::to_string(s.variant) + " (" + variant + "): " + text(IDC_CURRENT) + " mA";
        case REPLY_SETPOINTS:
            return "SETPOINTS  setpoint A " + std::to_string(s.setpointA) + " mA, B " +
                   std::to_string(s.setpointB) + " mA: " + text(IDC_CURRENT) + " mA";
        case REPLY_TEMP:
            return "TEMP  A " + std::to_string(s.tempA) + ", B " + std::to_string(s.tempB) +
                   " (0.01 °C): " + text(IDC_LD_TEMP) + " °C";
        default:
            return "POWER  " + std::to_string(s.power) + " (variant " + variant +
                   "): " + text(IDC_POWER) + " mW";
    }
}

}  // namespace

int RunDecode(const DecodeOptions& options) {
    const std::string text = options.hex.empty()
                                 ? std::string(std::istreambuf_iterator<char>(std::cin), {})
                                 : Join(options.hex);
    const auto parsed = ParseHexBytes(text);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        throw CommandFailure(ExitStatus::kUsage, "decode: " + *error);
    }
    const auto& stream = std::get<std::vector<std::uint8_t>>(parsed);

    StopSignals signals;
    ConsoleHost host(signals);  // no port is opened: the panel's logic and display only
    std::map<int, std::string> shown;
    host.window.OnTextWritten(
        [&](int controlId, const std::string& value) { shown[controlId] = value; });

    // The bytes are taken as one burst: how they were split over arguments or lines is no pause.
    ReplyAssembler assembler;
    std::size_t accepted = 0;
    for (std::uint8_t byte : stream) {
        const auto frame = assembler.Take(byte, 0);
        if (frame.empty()) {
            continue;
        }
        const std::vector<std::uint8_t> reply(frame.begin(), frame.end());
        accepted += reply.size();
        // The panel's assembler only ever sees whole checked replies, so it completes each too.
        shown.clear();
        for (std::uint8_t b : reply) {
            host.logic.OnPortByte(b, host.state.selectedPort);
        }
        std::cout << FormatHexBytes(reply) << "  " << Describe(reply[kCodeIndex], host.state, shown)
                  << "\n";
    }
    const std::size_t dropped = stream.size() - accepted;
    std::cout << dropped << (dropped == 1 ? " byte" : " bytes") << " dropped" << std::endl;
    return std::cout ? ToInt(ExitStatus::kOk) : ToInt(ExitStatus::kInternal);
}
