// Typed values, the step buttons and the set frames they send.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <limits>
#include <random>

#include "panel/panel_timing.h"
#include "panel/typed_value.h"
#include "resources/resource.h"
#include "tests/panel/fake_panel.h"

namespace {

TEST(TypedValue, ReadsDecimalTextTruncatedAndHeldInRange) {
    const std::string hundredNines(300, '9');
    struct Case {
        std::string text;
        std::int32_t maximum;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"12.7", 1000, 12},
        {"300", 1000, 300},
        {"  \t\n\v\f\r42", 1000, 42},
        {"+42", 1000, 42},
        {"-5", 1000, 0},
        {"-0.9", 1000, 0},
        {"-", 1000, 0},
        {".", 1000, 0},
        {"+.", 1000, 0},
        {"", 1000, 0},
        {".5", 1000, 0},
        {"5.", 1000, 5},
        {"0.999999", 1000, 0},
        // atof rounds to the nearest double before the truncation.
        {"2.9999999999999999", 1000, 3},
        {"2.999999999999999", 1000, 2},
        {"99.9999999999999999", 1000, 100},
        {"0.99999999999999999999", 1000, 1},
        {"9.999999999999999999e1", 1000, 100},
        {"1e3", 1000, 1000},
        {"1E2", 1000, 100},
        {"1.5e2", 1000, 150},
        {"25e-1", 1000, 2},
        {"1e+2", 1000, 100},
        {"1e", 1000, 1},
        {"7e+", 1000, 7},
        {"7e-x", 1000, 7},
        {"12abc", 1000, 12},
        {"1.2.3", 1000, 1},
        {"1 2", 1000, 1},
        {"nan", 1000, 0},
        {"inf", 1000, 0},
        {"-inf", 1000, 0},
        {"0x10", 1000, 0},
        {"\xEF\xBC\x95", 1000, 0},  // a full-width digit is not a digit
        {"5\xC3\xA9", 1000, 5},
        {"1001", 1000, 1000},
        {"65535", 65535, 65535},
        {"65536", 65535, 65535},
        {"2147483647", 2147483647, 2147483647},
        {"2147483648", 2147483647, 2147483647},
        {"9999999999", 2147483647, 2147483647},
        {hundredNines, 1000, 1000},
        {"-" + hundredNines, 1000, 0},
        {"0." + hundredNines, 1000, 1},
        {std::string(500, '0') + "42", 1000, 42},
        {"0.000" + hundredNines + "e5", 1000, 100},
        {hundredNines + "e-299", 1000, 10},
        {hundredNines + "e-300", 1000, 1},
        {hundredNines + "e-301", 1000, 0},
        {"1e999999999999999999999999", 1000, 1000},
        {"1e-999999999999999999999999", 1000, 0},
        {"0e999999999999999999999999", 1000, 0},
        // Beyond a double's range: the maximum above, 0 below, whatever the digits look like.
        {"1e309", 1000, 1000},
        {"0.001e311", 1000, 1000},
        {std::string(400, '1'), 1000, 1000},
        {std::string(400, '1') + "e-100", 1000, 1000},
        {"1e-400", 1000, 0},
        {"0." + std::string(400, '0') + "1", 1000, 0},
        {"1000e-327", 1000, 0},
        {"12", 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TypedValueInRange(c.text, c.maximum), c.expected) << '"' << c.text << '"';
    }
}

// Random decimal texts against the C library's strtod in the C locale, rounded as atof rounds and
// then truncated and held in range: many digits, near-integers, exponents up to beyond a double's
// range, signs, leading spaces and trailing junk. Seeded, so a failure names its text.
std::string RandomDecimalText(std::mt19937& random) {
    auto pick = [&](int below) { return std::uniform_int_distribution<int>(0, below - 1)(random); };
    auto digits = [&](int count, std::string& out) {
        for (int k = 0; k < count; ++k) {
            out.push_back(static_cast<char>('0' + pick(10)));
        }
    };
    const char* spaces[] = {"", "", " ", "\t", "  \n"};
    const char* signs[] = {"", "", "+", "-"};
    const char* junk[] = {"", "", "x", "e", "e+", ".", "abc", " 12", "-", "E-"};
    std::string text = std::string(spaces[pick(5)]) + signs[pick(4)];
    if (pick(4) == 0) {
        text.append(static_cast<std::size_t>(pick(4)), '0');
    }
    switch (pick(3)) {
        case 0:  // an integer and a run of nines that may round up to the next one
            digits(pick(6), text);
            text += '.';
            text.append(static_cast<std::size_t>(12 + pick(12)), '9');
            digits(pick(3), text);
            break;
        case 1:  // a long run of digits on both sides of the point
            digits(pick(25), text);
            text += '.';
            digits(pick(25), text);
            break;
        default:  // a short number
            digits(1 + pick(6), text);
            if (pick(2) == 0) {
                text += '.';
                digits(pick(4), text);
            }
            break;
    }
    if (pick(2) == 0) {
        text += "eE"[pick(2)];
        text += signs[pick(4)];
        const int magnitude[] = {1, 2, 3, 3};
        digits(magnitude[pick(4)], text);
    }
    return text + junk[pick(10)];
}

TEST(TypedValue, MatchesStrtodRoundedThenTruncatedOnRandomText) {
    std::setlocale(LC_NUMERIC, "C");
    std::mt19937 random(91207);
    const std::int32_t maxima[] = {0,    1,     300,
                                   1000, 65535, std::numeric_limits<std::int32_t>::max()};
    for (int round = 0; round < 200000; ++round) {
        const std::string text = RandomDecimalText(random);
        const std::int32_t maximum = maxima[round % 6];
        const double read = std::strtod(text.c_str(), nullptr);
        const std::int32_t expected = read < 1          ? 0
                                      : read >= maximum ? maximum
                                                        : static_cast<std::int32_t>(read);
        ASSERT_EQ(TypedValueInRange(text, maximum), expected)
            << '"' << text << "\" with maximum " << maximum;
    }
}

TEST(Apply, SendsTheTypedValueThenPausesAndResumesPolling) {
    struct Case {
        std::string text;
        Bytes expected;
    };
    const Case cases[] = {
        {"300", {0xEF, 0xEF, 0x04, 0x0C, 0x01, 0x2C, 0x1B}},
        {"12.7", SetFrameBytes(12)},
        {"99999999999999999999", SetFrameBytes(1000)},
        {"abc", SetFrameBytes(0)},
    };
    for (const Case& c : cases) {
        PanelHarness panel;
        panel.OpenConfigured(100, 1000);
        panel.RunFor(250);
        panel.window.texts[IDC_CURRENT] = c.text;
        panel.logic.Apply();
        EXPECT_EQ(panel.port.sent, (std::vector<SentFrame>{{250, c.expected}})) << c.text;
        EXPECT_EQ(panel.timers.now, 450);
        // The poll restarts after the pause; the slider still where the reply put it is no
        // reason to send anything but the queries.
        panel.RunFor(499);
        EXPECT_EQ(panel.port.sent.size(), 1u);
        panel.RunFor(1);
        ASSERT_GE(panel.port.sent.size(), 2u);
        EXPECT_EQ(panel.port.sent[1], (SentFrame{950, QueryBytes(kQueryTempFrame)}));
    }
}

TEST(Apply, UsesTheSetCommandOfTheActiveVariant) {
    PanelHarness panel;
    panel.OpenConfigured(100, 1000, 2);
    panel.window.texts[IDC_CURRENT] = "5";
    panel.logic.Apply();
    ASSERT_EQ(panel.port.sent.size(), 1u);
    EXPECT_EQ(panel.port.sent[0].bytes, (Bytes{0xEF, 0xEF, 0x04, 0x0D, 0x00, 0x05, 0xF4}));
    EXPECT_EQ(panel.state.setpointB, 5);
    EXPECT_EQ(panel.state.setpointA, 100);
}

TEST(Apply, WarnsOnlyAboutEmptyInputOnAnOpenConfiguredPort) {
    struct Case {
        bool open, configured;
        std::string text;
        bool warns, sends;
    };
    const Case cases[] = {
        {true, true, "", true, false},    {true, true, "7", false, true},
        {false, true, "", false, false},  {true, false, "", false, false},
        {true, false, "7", false, false}, {false, false, "7", false, false},
    };
    for (const Case& c : cases) {
        PanelHarness panel;
        panel.OpenConfigured(100, 1000);
        panel.state.portOpen = c.open;
        panel.state.configured = c.configured;
        panel.window.texts[IDC_CURRENT] = c.text;
        panel.logic.Apply();
        EXPECT_EQ(panel.window.warnings.size(), c.warns ? 1u : 0u);
        if (c.warns) {
            EXPECT_EQ(panel.window.warnings[0],
                      (std::pair<std::string, std::string>{"Format Error!", "Warning!"}));
            EXPECT_TRUE(panel.timers.Running(TIMER_POLL));
        }
        EXPECT_EQ(panel.port.sent.size(), c.sends ? 1u : 0u);
        EXPECT_EQ(panel.window.sliderPos, 100);  // only the module's answer moves the slider
    }
}

TEST(Steps, MoveByTheRepeatStepWithinZeroAndTheMaximum) {
    struct Case {
        bool up;
        std::int32_t setpoint, maximum;
        std::uint8_t repeatCount;
        std::int32_t expected;
    };
    const Case cases[] = {
        {true, 100, 1000, 0, 101},
        {false, 100, 1000, 0, 99},
        {true, 100, 1000, 4, 101},
        {true, 100, 1000, 5, 102},
        {true, 100, 1000, 49, 110},
        {true, 300, 305, 30, 305},
        {false, 3, 1000, 20, 0},
        {false, 0, 1000, 0, 0},
        {true, 1000, 1000, 0, 1000},
        // A module may report a setpoint above its maximum: either step lands on the maximum.
        {false, 65535, 500, 0, 500},
        {true, 65535, 500, 0, 500},
        {false, 600, 500, 49, 500},
        {false, 501, 500, 0, 500},
        {false, 7, 0, 0, 0},
        {true, 7, 0, 0, 0},
    };
    for (const Case& c : cases) {
        PanelHarness panel;
        panel.OpenConfigured(static_cast<std::uint16_t>(c.setpoint),
                             static_cast<std::uint16_t>(c.maximum));
        panel.state.repeatCount = c.repeatCount;
        c.up ? panel.logic.StepUp() : panel.logic.StepDown();
        EXPECT_EQ(panel.state.setpointA, c.expected);
        EXPECT_EQ(
            panel.port.sent,
            (std::vector<SentFrame>{{0, SetFrameBytes(static_cast<std::uint16_t>(c.expected))}}));
    }
    PanelHarness panel;
    panel.OpenConfigured(300, 305);
    panel.state.repeatCount = 30;
    panel.logic.StepUp();
    EXPECT_EQ(panel.port.sent.at(0).bytes, (Bytes{0xEF, 0xEF, 0x04, 0x0C, 0x01, 0x31, 0x20}));
}

TEST(Steps, DoNothingBeforeConfigurationOrWithoutAPort) {
    PanelHarness panel;
    panel.Start({3});
    panel.logic.StepUp();
    panel.logic.OnOpenClose();
    panel.logic.StepDown();
    EXPECT_EQ(panel.port.sent.size(), 0u);
}

}  // namespace
