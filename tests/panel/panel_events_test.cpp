// The typed events a listener hears and the typed inputs: what a host without a window sees of the
// panel, and that its inputs take the window's own paths.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <sstream>

#include "panel/panel_timing.h"
#include "resources/resource.h"
#include "tests/panel/fake_panel.h"

namespace {

std::string Format(const char* format, auto... values) {
    char text[160];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// Every event as one line, in order (names in the enums' order).
class Recorder : public PanelListener {
  public:
    std::vector<std::string> log;

    void OnConfiguration(const PanelConfiguration& e) override {
        log.push_back(Format("config %c byte %d setpoints %d %d maxima %d %d active %d of %d",
                             e.variant, e.variantByte, e.setpointA, e.setpointB, e.maxA, e.maxB,
                             e.activeSetpoint, e.activeMaximum));
    }
    void OnSetpointsConfirmed(const PanelSetpoints& e) override {
        log.push_back(Format("setpoints %d %d active %c %d", e.setpointA, e.setpointB, e.channel,
                             e.activeSetpoint));
    }
    void OnTemperature(const PanelTemperature& e) override {
        log.push_back(Format("temperature %.2f raw %d word %c", e.celsius, e.raw, e.word));
    }
    void OnPower(const PanelPower& e) override {
        log.push_back(Format("power %.1f mW raw %d variant %c", e.milliwatts, e.raw, e.variant));
    }
    void OnSetSent(const PanelSetSent& e) override {
        const char* reasons[] = {"typed", "step", "slider", "pull-down", "resync"};
        log.push_back(Format("set %d %c %s asked %g%s", e.milliamps, e.channel,
                             reasons[static_cast<int>(e.reason)], e.asked,
                             e.clamped ? " clamped" : ""));
    }
    void OnPortOpened(const PanelPortOpened& e) override {
        log.push_back(Format("opened %s%s", e.port.name.c_str(), e.reopened ? " again" : ""));
    }
    void OnPortClosed(const PanelPortClosed& e) override {
        const char* causes[] = {"operator", "device change", "hang-up"};
        log.push_back(
            Format("closed %s by %s", e.port.name.c_str(), causes[static_cast<int>(e.cause)]));
    }
    void OnPortLost(const PanelPortLost& e) override {
        log.push_back(Format("lost %s %s", e.port.name.c_str(),
                             e.cause == PortLossCause::Gone ? "gone" : "re-open failed"));
    }
    void OnOpenFailed(const PanelOpenFailed& e) override {
        log.push_back(Format("open failed %d %s status %d", e.port.number, e.port.name.c_str(),
                             static_cast<int>(e.result.status)));
    }
    void OnBoxShown(const PanelBox& e) override { log.push_back("box " + e.title + " " + e.text); }
};

// Runs the words in order: up, down, apply:TEXT, slider:POS, poll, setpoints:A (B is 7), readings,
// config (setpoints 300 and 40, maxima 500 and 60, variant byte 7), openclose, open3, change,
// hangup, gone (no port present any more), nosetup (opening fails).
void Act(PanelHarness& p, const std::string& words) {
    std::istringstream in(words);
    for (std::string word; in >> word;) {
        const std::string arg = word.substr(word.find(':') + 1);
        if (word == "up") {
            p.logic.StepUp();
        } else if (word == "down") {
            p.logic.StepDown();
        } else if (word.rfind("apply:", 0) == 0) {
            p.window.texts[IDC_CURRENT] = arg;
            p.logic.Apply();
        } else if (word.rfind("slider:", 0) == 0) {
            p.window.sliderPos = std::stoi(arg);
        } else if (word == "poll") {
            p.RunFor(kPollPeriodMs);
        } else if (word.rfind("setpoints:", 0) == 0) {
            const int a = std::stoi(arg);
            p.Receive(MakeReply(
                0x07, {static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a), 0, 7}));
        } else if (word == "readings") {
            p.Receive(MakeReply(0x0B, {0x09, 0xC4, 0x0A, 0x28}));
            p.Receive(MakeReply(0x22, {0x00, 0x7B}));
        } else if (word == "config") {
            p.Receive(PanelHarness::ConfigReply(300, 40, 500, 60, 7));
        } else if (word == "openclose") {
            p.logic.OnOpenClose();
        } else if (word == "open3") {
            p.logic.OpenPort(3);
        } else if (word == "change") {
            p.logic.OnDeviceChange();
        } else if (word == "hangup") {
            p.logic.OnPortHangUp();
        } else if (word == "gone") {
            p.probe.present.clear();
        } else if (word == "nosetup") {
            p.port.setupResult = false;
        } else {
            FAIL() << word;
        }
    }
}

// Ports 2 and 3 listed, COM3 selected, and unless setpoint is negative, opened and configured with
// the setpoint under A and 40 under B, maxima 500 and 60.
void Prepare(PanelHarness& panel, int setpoint, std::uint8_t variant = 1) {
    panel.Start({2, 3});
    panel.window.selectedItem = 1;
    if (setpoint >= 0) {
        panel.logic.OnOpenClose();
        const auto value = static_cast<std::uint16_t>(setpoint);
        panel.Receive(PanelHarness::ConfigReply(value, 40, 500, 60, variant));
        panel.port.sent.clear();
    }
}

TEST(PanelEvents, ListenersHearWhatHappensInOrder) {
    struct Case {
        int setpoint;  // negative: not open
        std::uint8_t variant;
        std::string act;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {-1,
         1,
         "openclose config",
         {"opened COM3", "config B byte 7 setpoints 300 40 maxima 500 60 active 40 of 60"}},
        {300, 1, "setpoints:120", {"setpoints 120 7 active A 120"}},
        // A late confirmation carries the module's value, not the step base.
        {300,
         1,
         "up up setpoints:301",
         {"set 301 A step asked 301", "set 302 A step asked 302", "setpoints 301 7 active A 301"}},
        {300,
         1,
         "readings",
         {"temperature 25.00 raw 2500 word A", "power 12.3 mW raw 123 variant A"}},
        {300,
         2,
         "readings",
         {"temperature 26.00 raw 2600 word B", "power 123.0 mW raw 123 variant B"}},
        {300, 1, "apply:120", {"set 120 A typed asked 120"}},
        {300, 2, "apply:120", {"set 60 B typed asked 120 clamped"}},
        {499,
         1,
         "up up down",
         {"set 500 A step asked 500", "set 500 A step asked 501 clamped",
          "set 499 A step asked 499"}},
        {300, 1, "slider:200 poll", {"set 200 A slider asked 200"}},
        {600, 1, "poll", {"set 500 A pull-down asked 600 clamped"}},
        {300, 1, "apply:", {"box Warning! Format Error!"}},
        {300, 1, "openclose", {"closed COM3 by operator"}},
        {300, 1, "change", {"closed COM3 by device change", "opened COM3 again"}},
        {300, 1, "gone change", {"closed COM3 by device change", "lost COM3 gone"}},
        {300,
         1,
         "nosetup change",
         {"closed COM3 by device change", "open failed 3 COM3 status 4",
          "lost COM3 re-open failed"}},
        {300, 1, "gone hangup", {"closed COM3 by hang-up", "lost COM3 gone"}},
        {300,
         1,
         "openclose hangup open3 change",
         {"closed COM3 by operator", "opened COM3", "closed COM3 by device change",
          "opened COM3 again"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.act);
        PanelHarness panel;
        Prepare(panel, c.setpoint, c.variant);
        Recorder first, removed, second;
        panel.logic.AddListener(first);
        panel.logic.AddListener(removed);
        panel.logic.AddListener(second);
        panel.logic.RemoveListener(removed);
        Act(panel, c.act);
        EXPECT_EQ(first.log, c.expected);
        EXPECT_EQ(second.log, c.expected);
        EXPECT_TRUE(removed.log.empty());
    }
}

// The typed input sends exactly what the field and SET send for the same text, at the same times,
// and the poll goes on the same way afterwards; it writes no control text and shows no box. A
// number sends what its text sends.
TEST(TypedInputs, SetCurrentSendsWhatTheFieldAndSetSend) {
    struct Case {
        std::string text;
        std::uint8_t variant;
        std::int32_t sent;
        double asked;
        bool clamped;
    };
    const Case cases[] = {
        {"120", 1, 120, 120, false},
        {"12.7", 1, 12, 12, false},
        {"501", 1, 500, 501, true},
        {"1e300", 1, 500, 2147483647, true},
        {"-3", 1, 0, -3, true},
        {"-0.5", 1, 0, 0, false},
        {"0.9999999999999999999", 1, 1, 1, false},
        {"abc", 1, 0, 0, false},
        {"80", 2, 60, 80, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        // The frames sent in 2 s after the set; an input's outcome is checked on the way.
        const auto sentBy = [&](const std::function<SetOutcome(PanelLogic&)>& input) {
            PanelHarness panel;
            Prepare(panel, 300, c.variant);
            const std::string fieldBefore = panel.window.texts[IDC_CURRENT];
            panel.window.log.clear();
            if (input) {
                const SetOutcome outcome = input(panel.logic);
                EXPECT_EQ(outcome.status, SetStatus::Sent);
                EXPECT_EQ(outcome.milliamps, c.sent);
                EXPECT_EQ(outcome.channel, c.variant > 1 ? 'B' : 'A');
                EXPECT_EQ(outcome.asked, c.asked);
                EXPECT_EQ(outcome.clamped, c.clamped);
                EXPECT_EQ(panel.window.texts[IDC_CURRENT], fieldBefore);
                for (const std::string& change : panel.window.log) {
                    EXPECT_NE(change.rfind("text", 0), 0u) << change;
                }
            } else {
                Act(panel, "apply:" + c.text);
            }
            panel.RunFor(2000);
            EXPECT_EQ(panel.state.ActiveSetpoint(), c.sent);
            EXPECT_TRUE(panel.window.warnings.empty());
            return panel.port.sent;
        };
        const auto byField = sentBy(nullptr);
        EXPECT_EQ(sentBy([&](PanelLogic& l) { return l.SetCurrentText(c.text); }), byField);
        char* end = nullptr;
        const double number = std::strtod(c.text.c_str(), &end);
        if (end != c.text.c_str()) {
            EXPECT_EQ(sentBy([&](PanelLogic& l) { return l.SetCurrent(number); }), byField);
        }
    }
}

TEST(TypedInputs, SetCurrentIsRefusedWhereSetIs) {
    struct Case {
        std::string name;
        int setpoint;        // for Prepare
        std::string before;  // words for Act
        double number;       // used unless the text is given
        const char* text;
        SetStatus expected;
    };
    const Case cases[] = {
        {"no port open", -1, "", 0, "100", SetStatus::PortClosed},
        {"not configured", -1, "openclose", 0, "100", SetStatus::NotConfigured},
        {"closed again", 300, "openclose", 0, "100", SetStatus::PortClosed},
        {"empty text", 300, "", 0, "", SetStatus::NoValue},
        {"not a number", 300, "", std::nan(""), nullptr, SetStatus::NoValue},
        {"infinite", 300, "", INFINITY, nullptr, SetStatus::NoValue},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PanelHarness panel;
        Prepare(panel, c.setpoint);
        Act(panel, c.before);
        panel.port.sent.clear();
        Recorder recorder;
        panel.logic.AddListener(recorder);
        const SetOutcome outcome =
            c.text ? panel.logic.SetCurrentText(c.text) : panel.logic.SetCurrent(c.number);
        EXPECT_EQ(outcome.status, c.expected);
        EXPECT_TRUE(panel.port.sent.empty());
        EXPECT_TRUE(recorder.log.empty());
        EXPECT_TRUE(panel.window.warnings.empty());
    }
}

TEST(TypedInputs, OpenByNumberOrListedNameAndClose) {
    struct Case {
        int number;        // 0: by name
        const char* name;  // for a by-name open
        bool setupWorks;
        OpenRequestStatus expected;
        OpenStatus result;
    };
    const Case cases[] = {
        {4, nullptr, true, OpenRequestStatus::Opened, OpenStatus::Opened},
        {0, "COM4", true, OpenRequestStatus::Opened, OpenStatus::Opened},
        {5, nullptr, true, OpenRequestStatus::NotListed, OpenStatus::Absent},
        {0, "4", true, OpenRequestStatus::NotListed, OpenStatus::Absent},
        {4, nullptr, false, OpenRequestStatus::Failed, OpenStatus::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.number << (c.name ? c.name : ""));
        PanelHarness panel;
        panel.Start({3, 4});
        ASSERT_EQ(panel.logic.PortList().size(), 2u);
        EXPECT_EQ(panel.logic.PortList()[1].name, "COM4");
        panel.port.setupResult = c.setupWorks;
        const OpenOutcome outcome = c.name ? panel.logic.OpenPort(std::string_view(c.name))
                                           : panel.logic.OpenPort(c.number);
        EXPECT_EQ(outcome.status, c.expected);
        EXPECT_EQ(outcome.result.status, c.result);
        const bool opened = c.expected == OpenRequestStatus::Opened;
        EXPECT_EQ(panel.port.setups,
                  c.result == OpenStatus::Absent ? std::vector<int>{} : std::vector<int>{4});
        EXPECT_EQ(panel.window.texts[IDC_OPEN_PORT], opened ? "ClosePort" : "OpenPort");
        if (opened) {
            EXPECT_EQ(outcome.port.number, 4);
            EXPECT_EQ(outcome.port.name, "COM4");
            EXPECT_EQ(panel.logic.OpenPort(3).status, OpenRequestStatus::AlreadyOpen);
            EXPECT_EQ(panel.port.setups.size(), 1u);
        }
        EXPECT_EQ(panel.logic.ClosePort(), opened);
        EXPECT_FALSE(panel.state.portOpen);
        EXPECT_EQ(panel.port.shutdowns, opened ? 1 : 0);
    }
}

}  // namespace
