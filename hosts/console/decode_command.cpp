// `ldctl decode`: bytes through the reply assembler, and each reply it accepts through the
// panel's own reply effects, so fields read and values shown are exactly the panel's; a
// configuration earlier in the stream sets the variant for what follows, as on the line.
#include <cstdio>
#include <iostream>
#include <optional>
#include <system_error>

#include "hosts/console/commands.h"
#include "hosts/console/console_host.h"
#include "hosts/console/exit_status.h"
#include "hosts/console/hex_bytes.h"
#include "hosts/console/standard_input.h"
#include "panel/number_text.h"
#include "protocol/frame.h"
#include "protocol/reply_assembler.h"

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

// What the panel reported for one reply, as its window shows it; nothing for a reply too short
// for its fields.
class ShownListener : public PanelListener {
  public:
    std::optional<std::string> shown;

    void OnConfiguration(const PanelConfiguration& e) override {
        shown = FormatInteger(e.activeSetpoint);
    }
    void OnSetpointsConfirmed(const PanelSetpoints& e) override {
        shown = FormatInteger(e.activeSetpoint);
    }
    void OnTemperature(const PanelTemperature& e) override { shown = ShownTemperature(e); }
    void OnPower(const PanelPower& e) override { shown = ShownPower(e); }
};

// What one accepted reply did: the fields the panel stored and the text it showed.
std::string Describe(std::uint8_t type, const DeviceState& s,
                     const std::optional<std::string>& shown) {
    const char* name = ReplyName(type);
    if (name == nullptr) {
        char text[48];
        std::snprintf(text, sizeof text, "type 0x%02X: not read by the panel", type);
        return text;
    }
    if (!shown) {
        return std::string(name) + ": too short for its fields, ignored by the panel";
    }
    const std::string variant(1, Variant(s));
    switch (type) {
        case REPLY_CONFIG:
            return "CONFIG  setpoint A " + std::to_string(s.setpointA) + " mA, B " +
                   std::to_string(s.setpointB) + " mA; maximum A " + std::to_string(s.maxA) +
                   " mA, B " + std::to_string(s.maxB) + " mA; variant " +
                   std::to_string(s.variant) + " (" + variant + "): " + *shown + " mA";
        case REPLY_SETPOINTS:
            return "SETPOINTS  setpoint A " + std::to_string(s.setpointA) + " mA, B " +
                   std::to_string(s.setpointB) + " mA: " + *shown + " mA";
        case REPLY_TEMP:
            return "TEMP  A " + std::to_string(s.tempA) + ", B " + std::to_string(s.tempB) +
                   " (0.01 °C): " + *shown + " °C";
        default:
            return "POWER  " + std::to_string(s.power) + " (variant " + variant + "): " + *shown +
                   " mW";
    }
}

}  // namespace

int RunDecode(const DecodeOptions& options) {
    // Arguments are checked whole before anything is printed; standard input is decoded as it
    // comes, so an endless feed prints as it goes in bounded memory.
    std::vector<std::uint8_t> bytes;
    if (!options.hex.empty()) {
        auto parsed = ParseHexBytes(Join(options.hex));
        if (const auto* error = std::get_if<std::string>(&parsed)) {
            throw CommandFailure(ExitStatus::kUsage, "decode: " + *error);
        }
        bytes = std::move(std::get<std::vector<std::uint8_t>>(parsed));
    }

    StopSignals signals;
    ShownListener listener;     // outlives the host it listens to
    ConsoleHost host(signals);  // no port is opened: the panel's logic only
    host.logic.AddListener(listener);

    // The bytes are taken as one burst: how they were split over arguments, lines or reads is no
    // pause.
    ReplyAssembler assembler;
    std::size_t taken = 0;
    std::size_t accepted = 0;
    const auto decode = [&] {
        for (std::uint8_t byte : bytes) {
            const auto frame = assembler.Take(byte, 0);
            if (frame.empty()) {
                continue;
            }
            const std::vector<std::uint8_t> reply(frame.begin(), frame.end());
            accepted += reply.size();
            // The panel's assembler only ever sees whole checked replies, so it completes each
            // too.
            listener.shown.reset();
            for (std::uint8_t b : reply) {
                host.logic.OnPortByte(b, host.state.selectedPort);
            }
            std::cout << FormatHexBytes(reply) << "  "
                      << Describe(reply[kCodeIndex], host.state, listener.shown) << "\n";
        }
        taken += bytes.size();
        bytes.clear();
        std::cout << std::flush;
        if (!std::cout) {
            throw CommandFailure(ExitStatus::kInternal, StandardOutputError());
        }
    };

    if (options.hex.empty()) {
        HexDecoder hex;
        char chunk[4096];
        for (;;) {
            const std::size_t got = ReadStandardInput(signals, chunk, sizeof chunk);
            if (got == 0) {
                break;
            }
            if (const auto error = hex.Feed(std::string_view(chunk, got), bytes)) {
                throw CommandFailure(ExitStatus::kUsage, "decode: " + *error);
            }
            decode();
        }
        if (const auto error = hex.Finish()) {
            throw CommandFailure(ExitStatus::kUsage, "decode: " + *error);
        }
    } else {
        decode();
    }
    const std::size_t dropped = taken - accepted;
    std::cout << dropped << (dropped == 1 ? " byte" : " bytes") << " dropped" << std::endl;
    if (!std::cout) {
        throw CommandFailure(ExitStatus::kInternal, StandardOutputError());
    }
    return ToInt(ExitStatus::kOk);
}
