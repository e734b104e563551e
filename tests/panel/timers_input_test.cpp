// The panel's own traffic, millisecond by millisecond: configuration queries, polling, the
// held step buttons; and which keys and clicks are swallowed.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "panel/panel_timing.h"
#include "resources/resource.h"
#include "tests/panel/fake_panel.h"

namespace {

const Bytes kConfigQuery = QueryBytes(kQueryConfigFrame);
const Bytes kTempQuery = QueryBytes(kQueryTempFrame);
const Bytes kPowerQuery = QueryBytes(kQueryPowerFrame);

// Values of the set frames among the frames sent, in order.
std::vector<int> SetValues(const std::vector<SentFrame>& sent) {
    std::vector<int> values;
    for (const SentFrame& frame : sent) {
        if (frame.bytes.size() == kSetFrameSize) {
            values.push_back(frame.bytes[kDataIndex] * 256 + frame.bytes[kDataIndex + 1]);
        }
    }
    return values;
}

TEST(Timers, QueriesConfigurationUntilItArrivesThenPollsEvery500Ms) {
    PanelHarness panel;
    panel.Start({3});
    panel.logic.OnOpenClose();
    panel.RunFor(650);
    panel.Receive(PanelHarness::ConfigReply(100, 0, 1000, 0, 1));
    panel.RunFor(1250);
    const std::vector<SentFrame> expected = {
        {200, kConfigQuery}, {400, kConfigQuery}, {600, kConfigQuery}, {1150, kTempQuery},
        {1250, kPowerQuery}, {1650, kTempQuery},  {1750, kPowerQuery},
    };
    EXPECT_EQ(panel.port.sent, expected);
}

TEST(Timers, HoldingStepUpForOneSecondAccelerates) {
    PanelHarness panel;
    panel.OpenConfigured(100, 1000);
    EXPECT_FALSE(panel.Press(IDC_STEP_UP));
    panel.RunFor(1000);
    EXPECT_FALSE(panel.Release(IDC_STEP_UP));
    panel.logic.StepUp();  // the click that follows a release over the button
    panel.RunFor(500);
    const std::vector<SentFrame> expected = {
        {200, SetFrameBytes(101)}, {400, SetFrameBytes(102)},  {600, SetFrameBytes(103)},
        {800, SetFrameBytes(104)}, {1000, SetFrameBytes(106)}, {1000, SetFrameBytes(107)},
        {1200, kConfigQuery},  // the silent module is asked what it holds
        {1500, kTempQuery},        {1600, kPowerQuery},
    };
    EXPECT_EQ(panel.port.sent, expected);
}

TEST(Timers, RepeatCountStopsGrowingAtItsLimit) {
    PanelHarness panel;
    panel.OpenConfigured(0, 60000);
    panel.Press(IDC_STEP_UP);
    panel.RunFor(200 * 60);
    EXPECT_EQ(panel.state.repeatCount, kRepeatCountLimit);
    const auto sent = SetValues(panel.port.sent);
    ASSERT_EQ(sent.size(), 60u);
    EXPECT_EQ(sent[59], panel.state.setpointA);
    EXPECT_EQ(panel.state.setpointA, 4 * 1 + 5 * (2 + 3 + 4 + 5 + 6 + 7 + 8 + 9) + 16 * 10);
}

TEST(Timers, PressingTheOtherStepButtonSwitchesDirection) {
    PanelHarness panel;
    panel.OpenConfigured(100, 1000);
    panel.Press(IDC_STEP_UP);
    panel.RunFor(400);
    panel.Press(IDC_STEP_DOWN);
    EXPECT_EQ(panel.timers.RunningTimers(), (std::set<int>{TIMER_STEP_DOWN, TIMER_CONFIRM}));
    panel.RunFor(200);
    EXPECT_EQ(panel.port.sent.back(), (SentFrame{600, SetFrameBytes(101)}));
}

// However the panel loses a held button, the repeat ends there as on a release: no further
// step, polling resumes, and the polls send nothing but the queries.
TEST(Timers, RepeatEndsWhenThePanelLosesTheHeldButton) {
    struct Case {
        const char* name;
        std::function<void(PanelHarness&)> lose;
    };
    const Case cases[] = {
        {"released while a box was up, unseen",
         [](PanelHarness& p) { p.window.leftButtonDown = false; }},
        {"another window took activation", [](PanelHarness& p) { p.logic.OnDeactivate(); }},
        {"the empty-input box opened, released while it was up",
         [](PanelHarness& p) {
             p.window.texts[IDC_CURRENT] = "";
             p.window.whileWarningShown = [&p] {
                 p.RunFor(1000);
                 p.window.leftButtonDown = false;
             };
             p.logic.Apply();
         }},
    };
    for (const Case& c : cases) {
        PanelHarness panel;
        panel.OpenConfigured(100, 1000);
        panel.Press(IDC_STEP_UP);
        panel.RunFor(400);
        c.lose(panel);
        panel.RunFor(3000);
        EXPECT_EQ(SetValues(panel.port.sent), (std::vector<int>{101, 102})) << c.name;
        EXPECT_EQ(panel.state.setpointA, 102) << c.name;
        EXPECT_EQ(panel.state.repeatCount, 0) << c.name;
        // The silent module is asked what it holds once a second.
        EXPECT_EQ(panel.timers.RunningTimers(), (std::set<int>{TIMER_POLL, TIMER_CONFIRM}))
            << c.name;
        const auto lastPolled =
            std::find_if(panel.port.sent.rbegin(), panel.port.sent.rend(),
                         [](const SentFrame& f) { return f.bytes != kConfigQuery; });
        EXPECT_EQ(lastPolled->bytes, kPowerQuery) << c.name << ": polling resumed";
    }
}

// With no repeat running, losing activation changes nothing: the poll keeps its period.
TEST(Timers, DeactivationWithoutARepeatLeavesThePollAlone) {
    struct Case {
        const char* name;
        std::function<void(PanelHarness&)> before;
    };
    const Case cases[] = {
        {"polling", [](PanelHarness&) {}},
        {"a re-open ended the repeat",
         [](PanelHarness& p) {
             p.Press(IDC_STEP_UP);
             p.RunFor(200);
             p.logic.OnDeviceChange();
             p.Receive(PanelHarness::ConfigReply(101, 0, 1000, 0, 1));
         }},
    };
    for (const Case& c : cases) {
        PanelHarness panel;
        panel.OpenConfigured(100, 1000);
        c.before(panel);
        panel.port.sent.clear();
        const long long polled = panel.timers.now + 500;
        panel.RunFor(300);
        panel.logic.OnDeactivate();
        panel.RunFor(200);
        EXPECT_EQ(panel.port.sent,
                  (std::vector<SentFrame>{{polled, kTempQuery}, {polled + 100, kPowerQuery}}))
            << c.name;
    }
}

// The poll sends the slider only when the operator moved it, or when it could not show the
// module's setpoint; a value given by typing or stepping stands until the module answers,
// however late, or never.
TEST(Timers, PollDoesNotUndoAnUnconfirmedSetpoint) {
    const Bytes kConfirms50 = MakeReply(0x07, {0x00, 0x32, 0x00, 0x00});
    struct Case {
        const char* name;
        std::function<void(PanelHarness&)> act;
        std::vector<int> sent;
        std::int32_t setpoint;
    };
    const Case cases[] = {
        {"typed, confirmed late",
         [&](PanelHarness& p) {
             p.window.texts[IDC_CURRENT] = "50";
             p.logic.Apply();
             p.RunFor(1200);
             p.Receive(kConfirms50);
         },
         {50},
         50},
        {"typed, confirmation lost",
         [](PanelHarness& p) {
             p.window.texts[IDC_CURRENT] = "50";
             p.logic.Apply();
         },
         {50},
         50},
        {"typed, the port re-opened before the confirmation",
         [](PanelHarness& p) {
             p.window.texts[IDC_CURRENT] = "50";
             p.logic.Apply();
             p.RunFor(300);
             p.logic.OnDeviceChange();
         },
         {50},
         50},
        {"stepped, confirmation lost",
         [](PanelHarness& p) {
             p.Press(IDC_STEP_UP);
             p.Release(IDC_STEP_UP);
             p.logic.StepUp();
         },
         {36},
         36},
        {"slider dragged: sent once", [](PanelHarness& p) { p.window.sliderPos = 40; }, {40}, 40},
        {"setpoint above the range: pulled down once",
         [](PanelHarness& p) {
             p.Receive(MakeReply(0x07, {0x00, 0x96, 0x00, 0x00}));
         },
         {100},
         100},
    };
    for (const Case& c : cases) {
        PanelHarness panel;
        panel.OpenConfigured(35, 100);
        c.act(panel);
        panel.RunFor(3000);
        EXPECT_EQ(SetValues(panel.port.sent), c.sent) << c.name;
        EXPECT_EQ(panel.state.setpointA, c.setpoint) << c.name;
    }
}

TEST(Timers, StepButtonsBeforeConfigurationStartNoTimer) {
    PanelHarness panel;
    panel.Start({3});
    panel.logic.OnOpenClose();
    panel.Press(IDC_STEP_UP);
    panel.Release(IDC_STEP_UP);
    EXPECT_EQ(panel.timers.RunningTimers(), std::set<int>{TIMER_CONFIG});
}

TEST(Timers, ReleaseAnywhereRestartsThePoll) {
    PanelHarness panel;
    panel.OpenConfigured(100, 1000);
    panel.RunFor(400);
    EXPECT_FALSE(panel.Release(IDC_SLIDER));
    panel.RunFor(499);
    EXPECT_TRUE(panel.port.sent.empty());
    panel.RunFor(1);
    EXPECT_EQ(panel.port.sent.front(), (SentFrame{900, kTempQuery}));
}

TEST(Timers, DraggedSliderIsSentBeforeTheQueries) {
    PanelHarness panel;
    panel.OpenConfigured(35, 1000);
    panel.window.sliderPos = 40;
    panel.RunFor(500);
    const std::vector<SentFrame> expected = {
        {500, SetFrameBytes(40)}, {600, kTempQuery}, {700, kPowerQuery}};
    EXPECT_EQ(panel.port.sent, expected);
    EXPECT_EQ(panel.state.setpointA, 40);
}

TEST(Timers, SetpointAboveTheSliderRangeIsPulledDownByThePoll) {
    PanelHarness panel;
    panel.OpenConfigured(50, 100);
    panel.Receive(MakeReply(0x07, {0x00, 0x96, 0x00, 0x00}));  // setpoint A 150
    EXPECT_EQ(panel.window.sliderPos, 100);
    panel.RunFor(500);
    ASSERT_FALSE(panel.port.sent.empty());
    EXPECT_EQ(panel.port.sent[0].bytes, (Bytes{0xEF, 0xEF, 0x04, 0x0C, 0x00, 0x64, 0x52}));
}

TEST(Timers, ConfigurationQueryGoesOutEvenWhenThePortIsNotOpen) {
    PanelHarness panel;
    panel.Start({3});
    panel.logic.OnOpenClose();
    panel.state.portOpen = false;
    panel.RunFor(200);
    EXPECT_EQ(panel.port.sent, (std::vector<SentFrame>{{200, kConfigQuery}}));
}

TEST(Timers, PollWithoutAnOpenPortSendsNothingButStillFollowsTheSlider) {
    PanelHarness panel;
    panel.OpenConfigured(35, 1000);
    panel.state.portOpen = false;
    panel.window.sliderPos = 40;
    panel.RunFor(500);
    EXPECT_TRUE(panel.port.sent.empty());
    EXPECT_EQ(panel.state.setpointA, 40);
    EXPECT_EQ(panel.timers.now, 600);  // the pause after a changed slider still blocks
}

TEST(PreTranslate, EnterAppliesOnlyInTheCurrentFieldAndEscapeIsAlwaysSwallowed) {
    struct Case {
        InputMessage message;
        bool swallowed;
        bool applies;
    };
    const Case cases[] = {
        {{InputKind::KeyDown, kKeyReturn, IDC_CURRENT}, false, true},
        {{InputKind::KeyDown, kKeyReturn, IDC_PORT_LIST}, true, false},
        {{InputKind::KeyDown, kKeyReturn, IDC_SET}, true, false},
        {{InputKind::KeyDown, kKeyReturn, 0}, true, false},
        {{InputKind::KeyDown, kKeyEscape, IDC_CURRENT}, true, false},
        {{InputKind::KeyDown, kKeyEscape, IDC_OPEN_PORT}, true, false},
        {{InputKind::KeyDown, kKeyEscape, 0}, true, false},
        {{InputKind::KeyDown, '5', IDC_CURRENT}, false, false},
        {{InputKind::Other, kKeyReturn, IDC_CURRENT}, false, false},
        {{InputKind::LeftButtonDown, 0, IDC_SET}, false, false},
    };
    for (const Case& c : cases) {
        PanelHarness panel;
        panel.OpenConfigured(100, 1000);
        panel.window.texts[IDC_CURRENT] = "250";
        EXPECT_EQ(panel.logic.PreTranslate(c.message), c.swallowed)
            << int(c.message.kind) << " " << c.message.key << " " << c.message.controlId;
        EXPECT_EQ(panel.port.sent.size(), c.applies ? 1u : 0u);
        if (c.applies) {
            EXPECT_EQ(panel.port.sent[0].bytes, SetFrameBytes(250));
        }
        EXPECT_TRUE(panel.window.warnings.empty());
    }
}

}  // namespace
