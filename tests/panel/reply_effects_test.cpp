// What replies do to the state and the display, short replies dropped, the port filter, replies
// cut short by a pause, and the receive path under a long random stream of bytes from several
// ports.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <random>

#include "panel/number_text.h"
#include "panel/panel_timing.h"
#include "resources/resource.h"
#include "tests/panel/fake_panel.h"

namespace {

TEST(ReplyEffects, FirstConfigurationSetsSliderFieldAndStartsPolling) {
    struct Case {
        std::uint16_t setpointA, setpointB, maxA, maxB;
        std::uint8_t variant;
        int expectedMax, expectedPosition;
        std::vector<int> expectedTicks;
    };
    const Case cases[] = {
        {10, 250, 2000, 1000, 2, 1000, 250, {100, 200, 300, 400, 500, 600, 700, 800, 900}},
        {7, 250, 15, 1000, 1, 15, 7, {1, 3, 4, 6, 7, 9, 10, 12, 13}},
        {7, 250, 15, 1000, 0, 15, 7, {1, 3, 4, 6, 7, 9, 10, 12, 13}},
        {7, 250, 15, 1000, 255, 1000, 250, {100, 200, 300, 400, 500, 600, 700, 800, 900}},
    };
    for (const Case& c : cases) {
        PanelHarness panel;
        panel.Start({3});
        panel.logic.OnOpenClose();
        panel.Receive(
            PanelHarness::ConfigReply(c.setpointA, c.setpointB, c.maxA, c.maxB, c.variant));
        EXPECT_EQ(panel.window.sliderMax, c.expectedMax);
        EXPECT_EQ(panel.window.ticks, c.expectedTicks);
        EXPECT_EQ(panel.window.sliderPos, c.expectedPosition);
        EXPECT_EQ(panel.window.texts[IDC_CURRENT], std::to_string(c.expectedPosition));
        EXPECT_EQ(panel.timers.RunningTimers(), std::set<int>{TIMER_POLL});
        EXPECT_TRUE(panel.state.configured);
    }
}

TEST(ReplyEffects, LaterConfigurationSwitchesVariantWithoutTouchingTimers) {
    PanelHarness panel;
    panel.OpenConfigured(100, 1000);
    panel.RunFor(300);  // poll period under way
    panel.Receive(PanelHarness::ConfigReply(100, 40, 1000, 50, 2));
    EXPECT_EQ(panel.window.sliderMax, 50);
    EXPECT_EQ(panel.window.texts[IDC_CURRENT], "40");
    panel.RunFor(199);
    EXPECT_TRUE(panel.port.sent.empty());  // the poll keeps its period
    panel.RunFor(1);
    ASSERT_FALSE(panel.port.sent.empty());
    EXPECT_EQ(panel.port.sent.front(), (SentFrame{500, QueryBytes(kQueryTempFrame)}));
}

TEST(ReplyEffects, ReadingsAreFormattedForTheActiveVariant) {
    struct Case {
        std::uint8_t variant;
        Bytes reply;
        int control;
        std::string expected;
    };
    const Case cases[] = {
        {1, MakeReply(0x0B, {0x09, 0xE6, 0x0A, 0x28}), IDC_LD_TEMP, "25.3"},
        {2, MakeReply(0x0B, {0x09, 0xE6, 0x0A, 0x28}), IDC_LD_TEMP, "26.0"},
        {1, MakeReply(0x0B, {0x00, 0x00, 0x0A, 0x28}), IDC_LD_TEMP, "0.0"},
        {1, MakeReply(0x0B, {0xFF, 0xFF, 0x00, 0x00}), IDC_LD_TEMP, "655.4"},
        {1, MakeReply(0x22, {0x00, 0x7B}), IDC_POWER, "12.3"},
        {2, MakeReply(0x22, {0x00, 0x7B}), IDC_POWER, "123"},
        {1, MakeReply(0x22, {0x01, 0xF4}), IDC_POWER, "50.0"},
        {0, MakeReply(0x22, {0xFF, 0xFF}), IDC_POWER, "6553.5"},
        {3, MakeReply(0x22, {0xFF, 0xFF}), IDC_POWER, "65535"},
    };
    for (const Case& c : cases) {
        PanelHarness panel;
        panel.OpenConfigured(0, 100, c.variant);
        panel.Receive(c.reply);
        EXPECT_EQ(panel.window.texts[c.control], c.expected) << int(c.variant);
    }
}

TEST(ReplyEffects, TemperatureBeforeAnyConfigurationUsesVariantA) {
    PanelHarness panel;
    panel.Start({3});
    panel.logic.OnOpenClose();
    panel.Receive(MakeReply(0x0B, {0x09, 0xC4, 0x0A, 0x28}));
    EXPECT_EQ(panel.window.texts[IDC_LD_TEMP], "25.0");
}

TEST(ReplyEffects, SetpointsMoveOnlySliderAndField) {
    PanelHarness panel;
    panel.OpenConfigured(100, 1000);
    panel.Receive(MakeReply(0x07, {0x01, 0x2C, 0x00, 0x05}));
    EXPECT_EQ(panel.state.setpointA, 300);
    EXPECT_EQ(panel.state.setpointB, 5);
    EXPECT_EQ(panel.window.sliderPos, 300);
    EXPECT_EQ(panel.window.sliderMax, 1000);
    EXPECT_EQ(panel.window.texts[IDC_CURRENT], "300");
    EXPECT_EQ(panel.state.maxA, 1000);
}

// A reply one byte too short for its fields must change nothing; one long enough applies. The
// short configuration reply is the dangerous one: its variant byte would be left over from an
// earlier, longer reply and could switch the set command. One that carries the setpoints and
// maxima but not the variant byte (L 12 to 15) applies them and keeps the variant.
TEST(ReplyEffects, RepliesTooShortForTheirFieldsAreDropped) {
    struct Case {
        std::uint8_t type;
        std::size_t minimumData;  // L - 2
        std::size_t variantData;  // L - 2 that carries the variant byte too
    };
    const Case cases[] = {{0x02, 10, 14}, {0x07, 4, 0}, {0x0B, 4, 0}, {0x22, 2, 0}};
    for (const Case& c : cases) {
        for (std::size_t size = 0; size <= std::max(c.minimumData, c.variantData); ++size) {
            PanelHarness panel;
            panel.OpenConfigured(100, 1000);
            // Fill the receive buffer with a long reply whose bytes all read as 2 (variant B).
            panel.Receive(MakeReply(0x05, Bytes(40, 0x02)));
            const auto before = panel.window.log.size();
            const DeviceState saved = panel.state;
            panel.Receive(MakeReply(c.type, Bytes(size, 0x01)));
            const bool applies = size >= c.minimumData;
            EXPECT_EQ(panel.window.log.size() != before, applies)
                << "type " << int(c.type) << " data " << size;
            EXPECT_EQ(panel.state.variant,
                      c.type == 0x02 && size >= c.variantData ? 0x01 : saved.variant)
                << "type " << int(c.type) << " data " << size;
            if (!applies) {
                EXPECT_EQ(panel.state.setpointA, saved.setpointA);
                EXPECT_EQ(panel.state.tempA, saved.tempA);
                EXPECT_EQ(panel.state.power, saved.power);
            }
        }
    }
}

// A module whose configuration reply stops after the maxima configures the panel with the start
// variant and its setpoint, and the panel polls; a later one keeps the variant it has.
TEST(ReplyEffects, ConfigurationWithoutTheVariantByteConfigures) {
    const Bytes full = PanelHarness::ConfigReply(70, 40, 500, 50, 2);
    const Bytes fields(full.begin() + 4, full.begin() + 4 + 10);  // up to maximum B
    struct Case {
        bool configuredBefore;
        std::size_t extra;  // bytes after maximum B, short of the variant byte
        std::uint8_t variant;
        int slider, maximum;
    };
    const Case cases[] = {
        {false, 0, 1, 70, 500}, {false, 3, 1, 70, 500}, {true, 0, 2, 40, 50}, {true, 3, 2, 40, 50}};
    for (const Case& c : cases) {
        PanelHarness panel;
        panel.Start({3});
        panel.logic.OnOpenClose();
        if (c.configuredBefore) {
            panel.Receive(PanelHarness::ConfigReply(1, 2, 3, 4, 2));
        }
        Bytes data = fields;
        data.resize(fields.size() + c.extra, 0x02);
        panel.Receive(MakeReply(0x02, data));
        EXPECT_TRUE(panel.state.configured);
        EXPECT_EQ(panel.state.variant, c.variant);
        EXPECT_EQ(panel.window.sliderMax, c.maximum);
        EXPECT_EQ(panel.window.sliderPos, c.slider);
        EXPECT_EQ(panel.window.texts[IDC_CURRENT], std::to_string(c.slider));
        EXPECT_EQ(panel.timers.RunningTimers(), std::set<int>{TIMER_POLL});
    }
}

TEST(ReplyEffects, BytesFromAnotherPortLeaveTheFrameInProgressAlone) {
    PanelHarness panel;
    panel.OpenConfigured(100, 1000);
    const Bytes temp = MakeReply(0x0B, {0x09, 0xC4, 0x0A, 0x28});
    panel.Receive(Bytes(temp.begin(), temp.begin() + 4));
    panel.Receive(MakeReply(0x0B, {0x00, 0x01, 0x00, 0x01}), 4);
    panel.Receive(Bytes(temp.begin() + 4, temp.end()));
    EXPECT_EQ(panel.window.texts[IDC_LD_TEMP], "25.0");
}

// "%.1f" in the C locale is the reference for the digits and the rounding of every reading the
// panel can show; the formatter must match it and keep '.' whatever the locale.
TEST(NumberText, MatchesPrintfForEveryReading) {
    std::setlocale(LC_NUMERIC, "C");
    char expected[32];
    for (unsigned raw = 0; raw <= 0xFFFF; ++raw) {
        for (double unit : {0.01, 0.1}) {
            std::snprintf(expected, sizeof expected, "%.1f", raw * unit);
            ASSERT_EQ(FormatOneDecimal(raw * unit), expected) << raw << " x " << unit;
        }
    }
    EXPECT_EQ(FormatInteger(-2147483647 - 1), "-2147483648");
}

// The receive path on the panel: a random mix of noise and replies of every kind arrives from
// the open port and from others. Whatever it shows must be what the accepted replies alone,
// cleanly delivered, show: the assembler finds exactly the replies the reference finds.
TEST(ReceivePath, RandomStreamFromSeveralPortsMatchesReference) {
    std::mt19937 random(513);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> choice(0, 9);
    auto someByte = [&] {
        const int c = choice(random);
        return static_cast<std::uint8_t>(c < 2 ? 0xED : c < 3 ? 0xFA : c < 4 ? 0x02 : byte(random));
    };
    for (int round = 0; round < 10; ++round) {
        PanelHarness noisy;
        noisy.OpenConfigured(100, 1000);
        PanelHarness clean;
        clean.OpenConfigured(100, 1000);

        Bytes fromSelected;
        for (int piece = 0; piece < 3000; ++piece) {
            Bytes bytes;
            if (choice(random) < 4) {
                bytes.resize(static_cast<std::size_t>(choice(random)));
                for (auto& b : bytes) {
                    b = someByte();
                }
            } else {
                const std::uint8_t types[] = {0x02, 0x07, 0x0B, 0x22, 0x05};
                Bytes data(static_cast<std::size_t>(choice(random) * 2));
                for (auto& b : data) {
                    b = someByte();
                }
                bytes = MakeReply(types[choice(random) % 5], data);
                if (choice(random) == 0) {
                    bytes.back() ^= 1;
                }
            }
            const int portNumber = choice(random) < 8 ? 3 : choice(random);
            noisy.Receive(bytes, portNumber);
            if (portNumber == 3) {
                fromSelected.insert(fromSelected.end(), bytes.begin(), bytes.end());
            }
        }
        for (const Bytes& reply : ReferenceReplies(fromSelected)) {
            clean.Receive(reply);
        }
        EXPECT_EQ(noisy.window.log, clean.window.log) << "round " << round;
        EXPECT_GT(noisy.window.log.size(), 500u);
    }
}

// A setpoints reply (A 22, B 800) cut after 7 of its 9 bytes, then a temperature reply 300 ms
// later. Joined, the two make a correctly summed setpoints reply with B 1005 over the maximum of
// 1000, which the next poll would pull down by sending SET B 1000: a rise from 800 that nobody
// asked for. The cut reply must be abandoned and the temperature reply taken on its own.
TEST(ReceivePath, ReplyCutShortDoesNotJoinALaterOne) {
    const Bytes cutSetpoints = {0xED, 0xFA, 0x06, 0x07, 0x00, 0x16, 0x03};
    const Bytes temperature = MakeReply(REPLY_TEMP, {0x09, 0xC4, 0x0A, 0x28});
    Bytes joined = cutSetpoints;
    joined.insert(joined.end(), temperature.begin(), temperature.begin() + 2);
    ASSERT_EQ(Checksum(std::span(joined).first(8)), joined[8]);

    PanelHarness panel;
    panel.OpenConfigured(800, 1000, 2);
    panel.RunFor(100);
    panel.Receive(cutSetpoints);
    panel.RunFor(300);
    panel.Receive(temperature);
    EXPECT_EQ(panel.window.texts[IDC_LD_TEMP], "26.0");
    EXPECT_EQ(panel.window.sliderPos, 800);
    EXPECT_EQ(panel.state.setpointB, 800);
    panel.RunFor(1000);
    ASSERT_FALSE(panel.port.sent.empty());
    for (const SentFrame& frame : panel.port.sent) {
        EXPECT_EQ(frame.bytes.size(), kQueryFrameSize) << "a set frame at " << frame.time;
    }
}

// The panel's own waits hold received bytes back; only the time it was free to take them counts
// as a pause inside a reply. Here a reply is cut by the 200 ms pause of a typed value, with the
// panel free for a while before and after it.
TEST(ReceivePath, OnlyTimeOutsideThePanelsOwnWaitsCountsAsAPause) {
    struct Case {
        long long freeBeforeMs, freeAfterMs;
        bool taken;
    };
    const Case cases[] = {{0, 0, true}, {30, 20, true}, {30, 21, false}, {0, 51, false}};
    const Bytes setpoints = MakeReply(REPLY_SETPOINTS, {0x00, 0x2A, 0x00, 0x2A});
    for (const Case& c : cases) {
        PanelHarness panel;
        panel.OpenConfigured(100, 1000);
        panel.Receive(Bytes(setpoints.begin(), setpoints.begin() + 7));
        panel.RunFor(c.freeBeforeMs);
        panel.window.texts[IDC_CURRENT] = "100";
        panel.logic.Apply();
        panel.RunFor(c.freeAfterMs);
        panel.Receive(Bytes(setpoints.begin() + 7, setpoints.end()));
        EXPECT_EQ(panel.window.sliderPos, c.taken ? 42 : 100)
            << c.freeBeforeMs << " + " << c.freeAfterMs << " ms free";
    }
}

}  // namespace
