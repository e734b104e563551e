// libFuzzer target for the receive path: the input is what the module's line delivers to an open
// panel, byte by byte, with some bytes repeated from another port and poll ticks in between.
// Beyond crashes and undefined behaviour it checks two things that must hold for any input: the
// assembler takes exactly the replies a plain scan of the stream finds, each stretch between two
// poll ticks scanned on its own (a tick is a longer pause than a reply may hold), and every frame
// the panel sends is a well-formed request that keeps the setpoint within the module's maximum.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "panel/panel_timing.h"
#include "protocol/reply_assembler.h"
#include "tests/panel/fake_panel.h"

namespace {

constexpr int kForeignPort = 9;
constexpr std::size_t kBytesPerTick = 64;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A request the panel may send: one of the three queries, or a set frame for the active setpoint
// whose value the slider's range allowed.
void RequireSoundRequest(const Bytes& frame, const DeviceState& state) {
    for (const QueryFrame& query : {kQueryConfigFrame, kQueryTempFrame, kQueryPowerFrame}) {
        if (frame == Bytes(query.begin(), query.end())) {
            return;
        }
    }
    Require(frame.size() == kSetFrameSize);
    Require(frame[0] == kRequestHeader && frame[1] == kRequestHeader && frame[2] == 4);
    Require(frame[6] == Checksum(std::span(frame).first(6)));
    Require(frame[kCodeIndex] == state.ActiveSetCommand());
    Require(ReadU16(frame, 4) <= state.ActiveMaximum());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte says how often a byte is repeated from a port the panel did not open.
    const std::size_t foreignEvery = data[0] < 2 ? 0 : data[0];
    const Bytes stream(data + 1, data + size);

    PanelHarness panel;
    panel.Start({3});
    panel.logic.OnOpenClose();
    Require(panel.state.portOpen);

    ReplyAssembler assembler;
    std::vector<Bytes> taken;
    std::vector<Bytes> expected;
    Bytes sinceTick;
    auto scanSinceTick = [&] {
        for (Bytes& reply : ReferenceReplies(sinceTick)) {
            expected.push_back(std::move(reply));
        }
        sinceTick.clear();
    };
    std::size_t checked = 0;
    for (std::size_t i = 0; i < stream.size(); ++i) {
        if (foreignEvery != 0 && i % foreignEvery == 0) {
            panel.logic.OnPortByte(stream[i], kForeignPort);
        }
        panel.logic.OnPortByte(stream[i], panel.state.selectedPort);
        const auto frame = assembler.Take(stream[i], panel.timers.now);
        if (!frame.empty()) {
            taken.emplace_back(frame.begin(), frame.end());
        }
        sinceTick.push_back(stream[i]);
        if ((i + 1) % kBytesPerTick == 0) {
            panel.RunFor(kPollPeriodMs);
            scanSinceTick();
            for (; checked < panel.port.sent.size(); ++checked) {
                RequireSoundRequest(panel.port.sent[checked].bytes, panel.state);
            }
        }
    }
    scanSinceTick();
    Require(taken == expected);
    return 0;
}
