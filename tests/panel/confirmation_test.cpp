// What the panel shows and sends when set frames or their confirmations are lost or late, when the
// operator is typing as replies come in, and when readings stop coming: against a module that
// answers on the virtual clock.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>

#include "panel/panel_timing.h"
#include "resources/resource.h"
#include "tests/panel/fake_panel.h"

namespace {

const Bytes kConfigQuery = QueryBytes(kQueryConfigFrame);

int SetValue(const Bytes& frame) {
    return frame[kDataIndex] * 256 + frame[kDataIndex + 1];
}

std::vector<int> SetValues(const std::vector<SentFrame>& sent) {
    std::vector<int> values;
    for (const SentFrame& frame : sent) {
        if (frame.bytes.size() == kSetFrameSize) {
            values.push_back(SetValue(frame.bytes));
        }
    }
    return values;
}

Bytes SetpointsReply(int setpoint) {
    const auto hi = static_cast<std::uint8_t>(setpoint >> 8);
    const auto lo = static_cast<std::uint8_t>(setpoint & 0xFF);
    return MakeReply(REPLY_SETPOINTS, {hi, lo, hi, lo});
}

// A variant A module behind the fake port: it takes each set frame it receives and confirms it, and
// answers each configuration query, every answer after replyDelayMs. It can lose the next few set
// frames (they never reach it) or the next few confirmations (it took the value).
struct Module {
    Module(int held, int max) : setpoint(held), maximum(max) {}

    int setpoint;
    int maximum;
    long long replyDelayMs = 10;
    int setFramesToLose = 0;
    int confirmationsToLose = 0;
    bool answersConfiguration = true;
    std::size_t seen = 0;
    std::deque<std::pair<long long, Bytes>> replies;  // due time, reply

    // Lets the panel run for ms with the module answering, 10 ms at a time.
    void Run(PanelHarness& panel, long long ms) {
        for (long long t = 0; t < ms; t += 10) {
            panel.RunFor(10);
            for (; seen < panel.port.sent.size(); ++seen) {
                const SentFrame& frame = panel.port.sent[seen];
                if (frame.bytes.size() == kSetFrameSize && setFramesToLose > 0) {
                    --setFramesToLose;
                } else if (frame.bytes.size() == kSetFrameSize) {
                    setpoint = SetValue(frame.bytes);
                    if (confirmationsToLose > 0) {
                        --confirmationsToLose;
                    } else {
                        replies.emplace_back(frame.time + replyDelayMs, SetpointsReply(setpoint));
                    }
                } else if (frame.bytes == kConfigQuery && answersConfiguration) {
                    const auto value = static_cast<std::uint16_t>(setpoint);
                    const auto max = static_cast<std::uint16_t>(maximum);
                    replies.emplace_back(frame.time + replyDelayMs,
                                         PanelHarness::ConfigReply(value, value, max, max, 1));
                }
            }
            while (!replies.empty() && replies.front().first <= panel.timers.now) {
                panel.Receive(replies.front().second);
                replies.pop_front();
            }
        }
    }
};

void Type(PanelHarness& panel, const std::string& text) {
    panel.window.texts[IDC_CURRENT] = text;
    panel.window.editingCurrent = true;
}

void Enter(PanelHarness& panel, const std::string& text) {
    Type(panel, text);
    panel.logic.Apply();
}

// Within 2 s of a set, the field and the slider show what the module holds, whether the frame or
// only its confirmation was lost, also for a set queued while a device change re-opens the port (it
// goes to the closing port; the re-open's configuration wins over anything older). Nothing but the
// operator's own value is ever sent.
TEST(Confirmation, LostFrameOrConfirmationShowsWhatTheModuleHoldsWithinTwoSeconds) {
    struct Case {
        const char* name;
        std::function<void(PanelHarness&)> act;
        int framesLost, confirmationsLost;
        int sent, holds;
    };
    const auto typed10 = [](PanelHarness& p) { Enter(p, "10"); };
    const auto stepped = [](PanelHarness& p) { p.logic.StepUp(); };
    const auto duringReopen = [](PanelHarness& p) {
        p.port.duringShutdown = [&p] {
            p.port.duringShutdown = nullptr;
            Enter(p, "50");
        };
        p.logic.OnDeviceChange();
    };
    const Case cases[] = {
        {"typed, frame lost", typed10, 1, 0, 10, 300},
        {"typed, confirmation lost", typed10, 0, 1, 10, 10},
        {"stepped, frame lost", stepped, 1, 0, 301, 300},
        {"stepped, confirmation lost", stepped, 0, 1, 301, 301},
        {"typed, nothing lost", typed10, 0, 0, 10, 10},
        {"during a re-open, frame lost", duringReopen, 1, 1, 50, 300},
        {"during a re-open, frame taken", duringReopen, 0, 1, 50, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PanelHarness panel;
        panel.OpenConfigured(300, 500);
        Module module{300, 500};
        module.setFramesToLose = c.framesLost;
        module.confirmationsToLose = c.confirmationsLost;
        panel.RunFor(250);  // between two polls
        c.act(panel);
        module.Run(panel, 2000);
        EXPECT_EQ(module.setpoint, c.holds);
        EXPECT_EQ(panel.window.texts[IDC_CURRENT], std::to_string(c.holds));
        EXPECT_EQ(panel.window.sliderPos, c.holds);
        EXPECT_EQ(panel.state.setpointA, c.holds);
        EXPECT_EQ(panel.timers.RunningTimers(), std::set<int>{TIMER_POLL}) << "resync over";
        module.Run(panel, 3000);
        EXPECT_EQ(SetValues(panel.port.sent), std::vector<int>{c.sent});
    }
}

// A module that does not answer is asked once a second, and only while the port is open; the count
// of frames in flight ends with the question, so the next step starts from what the module holds,
// not from a value it never took.
TEST(Confirmation, AsksOnceASecondWhileUnconfirmedAndTheNextStepStartsFromTheModule) {
    PanelHarness panel;
    panel.OpenConfigured(300, 500);
    Module module{300, 500};
    module.answersConfiguration = false;
    module.setFramesToLose = 1;
    panel.logic.StepUp();  // 301 lost
    module.Run(panel, 3300);
    std::vector<long long> asked;
    for (const SentFrame& frame : panel.port.sent) {
        if (frame.bytes == kConfigQuery && asked.size() < 3) {
            asked.push_back(frame.time);
        }
    }
    // Each time the poll's own two queries fall due with it; the question keeps their gap.
    EXPECT_EQ(asked, (std::vector<long long>{1200, 2200, 3200}));

    module.answersConfiguration = true;
    module.Run(panel, 1000);
    panel.logic.StepUp();
    EXPECT_EQ(SetValues(panel.port.sent), (std::vector<int>{301, 301}));

    // Closed, the panel neither asks nor waits for confirmations.
    module.setFramesToLose = 1;
    panel.logic.StepUp();
    panel.logic.OnOpenClose();
    const auto sentBefore = panel.port.sent.size();
    panel.RunFor(3000);
    EXPECT_EQ(panel.port.sent.size(), sentBefore);
    EXPECT_TRUE(panel.timers.RunningTimers().empty());
}

// Holding a step button with confirmations late, lost, or both: the values sent only ever move in
// the button's direction, within 0 and the maximum. Late confirmations of earlier frames must not
// pull the next step back.
TEST(Confirmation, LateConfirmationsNeverPullAHeldStepBack) {
    struct Case {
        int control;
        int start;
        long long delayMs;
        int confirmationsLost;
    };
    const Case cases[] = {
        {IDC_STEP_UP, 100, 800, 0},    {IDC_STEP_DOWN, 900, 800, 0}, {IDC_STEP_UP, 100, 1500, 0},
        {IDC_STEP_DOWN, 900, 1500, 3}, {IDC_STEP_UP, 100, 300, 2},   {IDC_STEP_UP, 980, 800, 0},
        {IDC_STEP_DOWN, 20, 800, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << " delay " << c.delayMs);
        PanelHarness panel;
        panel.OpenConfigured(static_cast<std::uint16_t>(c.start), 1000);
        Module module{c.start, 1000};
        module.replyDelayMs = c.delayMs;
        module.confirmationsToLose = c.confirmationsLost;
        panel.Press(c.control);
        module.Run(panel, 4000);
        panel.Release(c.control);
        const std::vector<int> sent = SetValues(panel.port.sent);
        ASSERT_GE(sent.size(), 15u);
        const int sign = c.control == IDC_STEP_UP ? 1 : -1;
        int before = c.start;
        for (int value : sent) {
            EXPECT_TRUE(sign * (value - before) >= 0 && value >= 0 && value <= 1000)
                << value << " after " << before;
            before = value;
        }
        // Once the confirmations are in, the panel shows what the module holds.
        module.Run(panel, c.delayMs + 1500);
        EXPECT_EQ(panel.window.sliderPos, module.setpoint);
        EXPECT_EQ(panel.state.setpointA, module.setpoint);
    }
}

// Replies leave the field alone while the operator edits it; the field follows the module again at
// the first poll after the edit ends, unless the edit was applied: then the typed value stays until
// the module answers it. A click on SET takes the focus first, and the held-back value must not
// replace the typed text before it is applied.
TEST(Confirmation, FieldFollowsTheModuleAgainAfterTheEdit) {
    struct Case {
        bool focusLeft, applied;
        std::vector<std::string> fieldAfter;  // 10, 480 and 510 ms after the focus left
    };
    for (const Case& c :
         {Case{false, false, {"47", "47", "47"}}, Case{true, false, {"47", "47", "250"}},
          Case{true, true, {"47", "47", "47"}}}) {
        SCOPED_TRACE(testing::Message() << c.focusLeft << c.applied);
        PanelHarness panel;
        panel.OpenConfigured(300, 500);
        Module module{300, 500};
        module.replyDelayMs = 900;  // the applied value is confirmed late
        panel.RunFor(10);           // the poll falls due at 500
        Type(panel, "47");
        panel.Receive(SetpointsReply(250));  // another host's set, say
        EXPECT_EQ(panel.window.sliderPos, 250);
        panel.window.editingCurrent = !c.focusLeft;
        std::vector<std::string> field;
        for (long long step : {10, 470, 30}) {
            module.Run(panel, step);
            field.push_back(panel.window.texts[IDC_CURRENT]);
            if (c.applied && field.size() == 1) {
                panel.RunFor(20);
                panel.logic.Apply();
            }
        }
        EXPECT_EQ(field, c.fieldAfter);
    }
}

// A reading not refreshed for 2 s shows as stale and turns live with the next one; closing or
// losing the port leaves nothing live behind the readings, so they show as stale at once.
TEST(Readings, ShowStaleWhenNotRefreshedAndWhenThePortCloses) {
    const Bytes temp = MakeReply(REPLY_TEMP, {0x09, 0xC4, 0x0A, 0x28});
    const Bytes power = MakeReply(REPLY_POWER, {0x00, 0x7B});
    struct Case {
        long long runMs;
        const Bytes* then;  // a reading received after runMs
        long long thenMs;   // time run after it
        void (PanelLogic::*portEvent)();
        bool tempStale, powerStale;
    };
    const Case cases[] = {
        {1999, nullptr, 0, nullptr, false, false},
        {1500, &power, 500, nullptr, true, false},
        {2500, &temp, 0, nullptr, false, true},
        {0, nullptr, 0, &PanelLogic::OnOpenClose, true, true},
        {0, nullptr, 0, &PanelLogic::OnDeviceChange, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.runMs << " " << c.thenMs);
        PanelHarness panel;
        panel.OpenConfigured(300, 500);
        panel.Receive(temp);
        panel.Receive(power);
        panel.RunFor(c.runMs);
        if (c.then) {
            panel.Receive(*c.then);
            panel.RunFor(c.thenMs);
        }
        if (c.portEvent) {
            (panel.logic.*c.portEvent)();
        }
        EXPECT_EQ(panel.window.stale[IDC_LD_TEMP], c.tempStale);
        EXPECT_EQ(panel.window.stale[IDC_POWER], c.powerStale);
        EXPECT_EQ(panel.window.texts[IDC_LD_TEMP], "25.0") << "text kept";
    }
}

}  // namespace
