// A module that corrupts, drops or prefixes with noise a share of its replies, for 1,000 poll
// cycles: polling must go on at its period, set values must still reach the module, and every
// reading shown must come from a reply that left the module intact.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "panel/number_text.h"
#include "panel/panel_timing.h"
#include "resources/resource.h"
#include "tests/reliability/simulated_line.h"

namespace {

using simulator::LineEvent;

constexpr int kPollCycles = 1000;

bool IsReply(const LineEvent& e, std::uint8_t type) {
    return e.direction == LineEvent::Direction::Sent && e.bytes.size() > kCodeIndex &&
           e.bytes[0] == kReplyHeader0 && e.bytes[kCodeIndex] == type;
}

// Whether a reply left the module whole and correct; a reply sent byte by byte is marked "split".
bool Intact(const LineEvent& e) {
    for (const char* fault : {"dropped", "bad-checksum", "cut"}) {
        if (e.verdict.find(fault) != std::string::npos) {
            return false;
        }
    }
    return true;
}

// The temperature word of each intact temperature reply, in the order the module sent them.
std::vector<std::uint16_t> IntactTemperatures(const std::vector<LineEvent>& events) {
    std::vector<std::uint16_t> words;
    for (const LineEvent& e : events) {
        if (IsReply(e, REPLY_TEMP) && Intact(e)) {
            words.push_back(ReadU16(e.bytes, 4));
        }
    }
    return words;
}

// Every temperature text the panel showed, in order.
std::vector<std::string> ShownTemperatures(const FakeWindow& window) {
    const std::string prefix = "text " + std::to_string(IDC_LD_TEMP) + " ";
    std::vector<std::string> shown;
    for (const std::string& entry : window.log) {
        if (entry.rfind(prefix, 0) == 0) {
            shown.push_back(entry.substr(prefix.size()));
        }
    }
    return shown;
}

std::vector<long long> QueryTimes(const std::vector<LineEvent>& events, std::uint8_t command) {
    std::vector<long long> times;
    for (const LineEvent& e : events) {
        if (e.direction == LineEvent::Direction::Received && e.verdict == "valid" &&
            e.bytes[kCodeIndex] == command) {
            times.push_back(
                std::chrono::duration_cast<std::chrono::milliseconds>(e.sinceStart).count());
        }
    }
    return times;
}

bool IsSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
    auto it = whole.begin();
    for (const std::string& s : part) {
        it = std::find(it, whole.end(), s);
        if (it == whole.end()) {
            return false;
        }
        ++it;
    }
    return true;
}

TEST(CorruptedReplies, PollingGoesOnAndOnlyIntactReadingsAreShown) {
    struct Case {
        const char* name;
        double corrupt, drop, noise;
        std::chrono::milliseconds byteGap;
        bool everyIntactReplyShown;  // noise before a reply can cost that reply its header
    };
    const Case cases[] = {
        {"corrupt and drop a tenth", 0.05, 0.05, 0.0, std::chrono::milliseconds(0), true},
        {"same, byte by byte at line speed", 0.05, 0.05, 0.0, std::chrono::milliseconds(1), true},
        {"same, with noise before a tenth", 0.05, 0.05, 0.1, std::chrono::milliseconds(0), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        simulator::ModuleConfig config;
        config.faults.badChecksumShare = c.corrupt;
        config.faults.dropShare = c.drop;
        config.faults.noiseShare = c.noise;
        config.faults.byteGap = c.byteGap;
        config.seed = 6;
        SimulatedPanel panel(config);

        // The operator moves the slider now and then, so readings change and set frames go out.
        int lastSlider = 0;
        for (int cycle = 0; cycle < kPollCycles; ++cycle) {
            if (cycle % 100 == 50) {
                lastSlider = 50 + cycle / 4;
                panel.window.SetSliderPosition(lastSlider);
            }
            panel.RunFor(kPollPeriodMs);
        }

        ASSERT_TRUE(panel.state.configured);
        // Polling went on: one temperature query per period, then the power query 100 ms on.
        const auto temps = QueryTimes(panel.line.events, CMD_QUERY_TEMP);
        const auto powers = QueryTimes(panel.line.events, CMD_QUERY_POWER);
        ASSERT_GE(temps.size(), kPollCycles - 2u);
        ASSERT_EQ(powers.size(), temps.size());
        for (std::size_t i = 1; i < temps.size(); ++i) {
            ASSERT_LE(temps[i] - temps[i - 1], kPollPeriodMs + kFrameGapMs) << "query " << i;
            ASSERT_EQ(powers[i] - temps[i], kFrameGapMs) << "query " << i;
        }
        // The last slider value reached the module and came back confirmed.
        EXPECT_EQ(panel.line.Module().SetpointA(), lastSlider);
        EXPECT_EQ(panel.state.setpointA, lastSlider);

        std::vector<std::string> intact;
        for (std::uint16_t word : IntactTemperatures(panel.line.events)) {
            intact.push_back(FormatOneDecimal(word * 0.01));
        }
        const auto shown = ShownTemperatures(panel.window);
        if (c.everyIntactReplyShown) {
            EXPECT_EQ(shown, intact);
        } else {
            EXPECT_TRUE(IsSubsequence(shown, intact));
            EXPECT_GE(shown.size() * 10, intact.size() * 9);
        }
        // Some replies were spoiled, or the test proves nothing.
        const auto spoiled =
            std::count_if(panel.line.events.begin(), panel.line.events.end(),
                          [](const LineEvent& e) { return IsReply(e, REPLY_TEMP) && !Intact(e); });
        EXPECT_GE(spoiled, kPollCycles / 20);
    }
}

}  // namespace
