// The port object against the module simulator on a pty: every request answered in order, a
// reopen, the simulator's line faults and its hang-up.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/frame.h"
#include "protocol/reply_assembler.h"
#include "serial/linux/comm_port.h"
#include "tests/serial/linux/pty_number_hold.h"
#include "tests/serial/linux/temp_dir.h"
#include "tests/serial/linux/test_owner.h"
#include "tools/simulator/pty_module.h"

namespace {

using simulator::LineEvent;
using Bytes = std::vector<std::uint8_t>;

constexpr LineSettings kPanelSettings = {9600, 'N',  8,    0,    kEvRxChar, 512,
                                         1000, 1000, 1000, 1000, 1000};
constexpr int kPort = 1;
constexpr auto kGenerous = std::chrono::seconds(10);

Bytes SetFrameFor(std::uint8_t command, std::uint16_t value) {
    SetFrame frame = kEmptySetFrame;
    WriteSetFrame(frame, command, value);
    return Bytes(frame.begin(), frame.end());
}

const Bytes kConfigQuery(kQueryConfigFrame.begin(), kQueryConfigFrame.end());
const Bytes kTempQuery(kQueryTempFrame.begin(), kQueryTempFrame.end());
const Bytes kPowerQuery(kQueryPowerFrame.begin(), kQueryPowerFrame.end());

// The recorded line, its bytes taken back to back.
std::vector<Bytes> Assemble(const Bytes& stream) {
    ReplyAssembler assembler;
    std::vector<Bytes> replies;
    for (std::uint8_t byte : stream) {
        const auto reply = assembler.Take(byte, 0);
        if (!reply.empty()) {
            replies.emplace_back(reply.begin(), reply.end());
        }
    }
    return replies;
}

bool IsAnswer(const LineEvent& e) {
    return e.direction == LineEvent::Direction::Sent && e.verdict != "noise";
}

// Everything the module put on the line, in order; dropped replies never left it.
Bytes BytesOnTheLine(const std::vector<LineEvent>& events) {
    Bytes bytes;
    for (const LineEvent& e : events) {
        if (e.direction == LineEvent::Direction::Sent && e.verdict != "dropped") {
            bytes.insert(bytes.end(), e.bytes.begin(), e.bytes.end());
        }
    }
    return bytes;
}

std::vector<Bytes> IntactReplies(const std::vector<LineEvent>& events) {
    std::vector<Bytes> replies;
    for (const LineEvent& e : events) {
        if (IsAnswer(e) && e.verdict.find("bad-checksum") == std::string::npos &&
            e.verdict.find("cut") == std::string::npos && e.verdict != "dropped") {
            replies.push_back(e.bytes);
        }
    }
    return replies;
}

// Whether every element of part appears in whole, in the same order.
bool IsSubsequence(const std::vector<Bytes>& part, const std::vector<Bytes>& whole) {
    auto next = whole.begin();
    for (const Bytes& item : part) {
        next = std::find(next, whole.end(), item);
        if (next == whole.end()) {
            return false;
        }
        ++next;
    }
    return true;
}

// Sends one request and serves the port until the module has answered it (or decided not to) and
// every byte it put on the line has reached the owner.
bool Exchange(CCommPort& port, simulator::PtyModule& module, TestOwner& owner,
              const Bytes& request) {
    const std::vector<LineEvent> before = module.Events();
    const auto answered = std::count_if(before.begin(), before.end(), IsAnswer);
    port.QueueWrite(request.data(), request.size());
    const auto answeredNow = [&] {
        const std::vector<LineEvent> events = module.Events();
        return std::count_if(events.begin(), events.end(), IsAnswer) > answered;
    };
    if (!owner.ServeUntil(port, answeredNow, kGenerous)) {
        return false;
    }
    const std::size_t expected = BytesOnTheLine(module.Events()).size();
    return owner.ServeUntil(port, [&] { return owner.received.size() == expected; });
}

// A module served on a new pty, listed as the only virtual port (port 1).
class SimulatorLink {
  public:
    explicit SimulatorLink(const simulator::ModuleConfig& config) : module(config) {
        linked = symlink(module.Path().c_str(), ports.Join("module").c_str()) == 0;
        module.Start();
    }

    TempDir ports;
    simulator::PtyModule module;
    bool linked = false;
    PortRegistry registry{[] { return std::vector<HardwarePort>(); }, ports.Path()};
    TestOwner owner;
};

TEST(SimulatorLinkTest, EveryRequestIsAnsweredInOrderAcrossAReopen) {
    SimulatorLink link({});
    ASSERT_TRUE(link.linked);
    CCommPort port(link.registry, link.owner);
    ASSERT_TRUE(port.Setup(kPort, kPanelSettings).Opened());
    ASSERT_TRUE(port.StartWorker());
    const std::vector<Bytes> requests = {kConfigQuery, kTempQuery, kPowerQuery,
                                         SetFrameFor(CMD_SET_A, 250), SetFrameFor(CMD_SET_B, 40)};
    for (const Bytes& request : requests) {
        ASSERT_TRUE(Exchange(port, link.module, link.owner, request));
    }
    port.Shutdown();

    ASSERT_TRUE(port.Setup(kPort, kPanelSettings).Opened());
    ASSERT_TRUE(port.StartWorker());
    ASSERT_TRUE(Exchange(port, link.module, link.owner, kConfigQuery));
    port.Shutdown();

    std::vector<std::uint8_t> codes;
    for (const Bytes& reply : Assemble(link.owner.Bytes())) {
        codes.push_back(reply[kCodeIndex]);
    }
    EXPECT_EQ(codes, (std::vector<std::uint8_t>{REPLY_CONFIG, REPLY_TEMP, REPLY_POWER,
                                                REPLY_SETPOINTS, REPLY_SETPOINTS, REPLY_CONFIG}));
    std::vector<Bytes> received;
    for (const LineEvent& e : link.module.Received()) {
        EXPECT_EQ(e.verdict, "valid");
        received.push_back(e.bytes);
    }
    std::vector<Bytes> sent = requests;
    sent.push_back(kConfigQuery);
    EXPECT_EQ(received, sent);
    EXPECT_TRUE(link.owner.errors.empty());
}

TEST(SimulatorLinkTest, FaultyRepliesArriveExactlyAsSentAndOnlyIntactOnesAssemble) {
    struct Case {
        const char* name;
        void (*fault)(simulator::FaultConfig&);
        const char* verdict;  // the module's word for the fault in its log
    };
    using namespace std::chrono_literals;
    const Case cases[] = {
        {"bad checksums", [](simulator::FaultConfig& f) { f.badChecksumShare = 0.5; },
         "bad-checksum"},
        {"dropped replies", [](simulator::FaultConfig& f) { f.dropShare = 0.5; }, "dropped"},
        {"delayed replies", [](simulator::FaultConfig& f) { f.replyDelay = 30ms; }, "delayed"},
        {"replies split with gaps", [](simulator::FaultConfig& f) { f.byteGap = 3ms; }, "split"},
        {"noise between replies", [](simulator::FaultConfig& f) { f.noiseShare = 0.7; }, "noise"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        simulator::ModuleConfig config;
        c.fault(config.faults);
        SimulatorLink link(config);
        ASSERT_TRUE(link.linked);
        CCommPort port(link.registry, link.owner);
        ASSERT_TRUE(port.Setup(kPort, kPanelSettings).Opened());
        ASSERT_TRUE(port.StartWorker());
        for (int i = 0; i < 12; ++i) {
            ASSERT_TRUE(
                Exchange(port, link.module, link.owner, i % 2 == 0 ? kTempQuery : kPowerQuery));
        }
        port.Shutdown();

        const std::vector<LineEvent> events = link.module.Events();
        ASSERT_TRUE(std::any_of(events.begin(), events.end(), [&](const LineEvent& e) {
            return e.verdict.find(c.verdict) != std::string::npos;
        }));
        EXPECT_EQ(link.owner.Bytes(), BytesOnTheLine(events));
        const std::vector<Bytes> assembled = Assemble(link.owner.Bytes());
        const std::vector<Bytes> intact = IntactReplies(events);
        if (config.faults.noiseShare == 0) {
            EXPECT_EQ(assembled, intact);
        } else {
            // Noise ending in a header byte can hide the reply behind it; it never makes one up.
            EXPECT_TRUE(IsSubsequence(assembled, intact));
        }
        EXPECT_TRUE(link.owner.errors.empty());
        EXPECT_TRUE(link.owner.lost.empty());
    }
}

TEST(SimulatorLinkTest, ModuleHangingUpMidReplyIsOneHangUpAndThePortIsGone) {
    simulator::ModuleConfig config;
    config.faults.hangUpAfterFrames = 3;
    config.faults.hangUpMidReply = true;
    SimulatorLink link(config);
    ASSERT_TRUE(link.linked);
    const PtyNumberHold numberHold(link.module.Path());
    ASSERT_TRUE(numberHold.Held());
    CCommPort port(link.registry, link.owner);
    ASSERT_TRUE(port.Setup(kPort, kPanelSettings).Opened());
    ASSERT_TRUE(port.StartWorker());
    ASSERT_TRUE(Exchange(port, link.module, link.owner, kConfigQuery));
    ASSERT_TRUE(Exchange(port, link.module, link.owner, kTempQuery));
    port.QueueWrite(kPowerQuery.data(), kPowerQuery.size());
    ASSERT_TRUE(link.owner.ServeUntil(port, [&] { return link.owner.lost.size() == 1; }));
    port.Shutdown();

    EXPECT_EQ(Assemble(link.owner.Bytes()).size(), 2u);
    EXPECT_EQ(link.owner.lost, std::vector<int>{kPort});
    // Its pty went with it: the port is no longer listed and cannot be opened.
    EXPECT_EQ(link.registry.Probe(kPort), std::nullopt);
    EXPECT_EQ(port.Setup(kPort, kPanelSettings).status, OpenStatus::Absent);
    EXPECT_TRUE(link.owner.errors.empty());
}

}  // namespace
