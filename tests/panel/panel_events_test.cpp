// The typed events a listener hears and the typed inputs: what a host without a window sees of
// the panel, and that its inputs take the window's own paths.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>

#include "panel/panel_timing.h"
#include "resources/resource.h"
#include "tests/panel/fake_panel.h"

namespace {

const char* ReasonName(SetReason reason) {
    switch (reason) {
        case SetReason::Typed:
            return "typed";
        case SetReason::Step:
            return "step";
        case SetReason::Slider:
            return "slider";
        case SetReason::PullDown:
            return "pull-down";
        case SetReason::Resync:
            return "resync";
    }
    return "?";
}

const char* CloseName(PortCloseCause cause) {
    switch (cause) {
        case PortCloseCause::Operator:
            return "operator";
        case PortCloseCause::DeviceChange:
            return "device change";
        case PortCloseCause::HangUp:
            return "hang-up";
    }
    return "?";
}

std::string Format(const char* format, auto... values) {
    char text[160];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// Every event as one line, in order.
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
        log.push_back(Format("set %d %c %s asked %g%s", e.milliamps, e.channel,
                             ReasonName(e.reason), e.asked, e.clamped ? " clamped" : ""));
    }
    void OnPortOpened(const PanelPortOpened& e) override {
        log.push_back(Format("opened %d %s%s", e.port.number, e.port.name.c_str(),
                             e.reopened ? " again" : ""));
    }
    void OnPortClosed(const PanelPortClosed& e) override {
        log.push_back(
            Format("closed %d %s by %s", e.port.number, e.port.name.c_str(), CloseName(e.cause)));
    }
    void OnPortLost(const PanelPortLost& e) override {
        log.push_back(Format("lost %d %s %s", e.port.number, e.port.name.c_str(),
                             e.cause == PortLossCause::Gone ? "gone" : "re-open failed"));
    }
    void OnOpenFailed(const PanelOpenFailed& e) override {
        log.push_back(Format("open failed %d %s status %d", e.port.number, e.port.name.c_str(),
                             static_cast<int>(e.result.status)));
    }
    void OnBoxShown(const PanelBox& e) override { log.push_back("box " + e.title + " " + e.text); }
};

Bytes SetpointsReply(std::uint16_t a, std::uint16_t b) {
    return MakeReply(0x07, {static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a),
                            static_cast<std::uint8_t>(b >> 8), static_cast<std::uint8_t>(b)});
}

// Maxima 500 under A and 60 under B, setpoints 300 and 40.
void OpenWithMaxima(PanelHarness& panel, std::uint8_t variant) {
    panel.Start({3});
    panel.logic.OnOpenClose();
    panel.Receive(PanelHarness::ConfigReply(300, 40, 500, 60, variant));
    panel.port.sent.clear();
}

TEST(PanelEvents, ListenersHearWhatHappensInOrder) {
    using Step = std::function<void(PanelHarness&)>;
    const Step openConfigured = [](PanelHarness& p) { p.OpenConfigured(300, 500); };
    const Step openVariantB = [](PanelHarness& p) { OpenWithMaxima(p, 2); };
    const Step typed = [](PanelHarness& p) {
        p.window.texts[IDC_CURRENT] = "120";
        p.logic.Apply();
    };
    struct Case {
        std::string name;
        Step prepare;  // before the listener is added
        Step act;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"open and configuration",
         [](PanelHarness& p) {
             p.Start({2, 3});
         },
         [](PanelHarness& p) {
             p.window.selectedItem = 1;
             p.logic.OnOpenClose();
             p.Receive(PanelHarness::ConfigReply(300, 40, 500, 60, 1));
         },
         {"opened 3 COM3", "config A byte 1 setpoints 300 40 maxima 500 60 active 300 of 500"}},
        {"configuration of variant B",
         [](PanelHarness& p) { p.Start({3}); },
         [](PanelHarness& p) {
             p.logic.OnOpenClose();
             p.Receive(PanelHarness::ConfigReply(300, 40, 500, 60, 7));
         },
         {"opened 3 COM3", "config B byte 7 setpoints 300 40 maxima 500 60 active 40 of 60"}},
        {"setpoints confirmed",
         openConfigured,
         [](PanelHarness& p) { p.Receive(SetpointsReply(120, 7)); },
         {"setpoints 120 7 active A 120"}},
        {"a late confirmation carries the module's value, not the step base",
         openConfigured,
         [](PanelHarness& p) {
             p.logic.StepUp();
             p.logic.StepUp();
             p.Receive(SetpointsReply(301, 7));
         },
         {"set 301 A step asked 301", "set 302 A step asked 302", "setpoints 301 7 active A 301"}},
        {"readings under variant A",
         openConfigured,
         [](PanelHarness& p) {
             p.Receive(MakeReply(0x0B, {0x09, 0xC4, 0x0A, 0x28}));
             p.Receive(MakeReply(0x22, {0x00, 0x7B}));
         },
         {"temperature 25.00 raw 2500 word A", "power 12.3 mW raw 123 variant A"}},
        {"readings under variant B",
         openVariantB,
         [](PanelHarness& p) {
             p.Receive(MakeReply(0x0B, {0x09, 0xC4, 0x0A, 0x28}));
             p.Receive(MakeReply(0x22, {0x00, 0x7B}));
         },
         {"temperature 26.00 raw 2600 word B", "power 123.0 mW raw 123 variant B"}},
        {"typed value", openConfigured, typed, {"set 120 A typed asked 120"}},
        {"typed value above the maximum",
         openConfigured,
         [](PanelHarness& p) {
             p.window.texts[IDC_CURRENT] = "900.5";
             p.logic.Apply();
         },
         {"set 500 A typed asked 900 clamped"}},
        {"typed negative value",
         openConfigured,
         [](PanelHarness& p) {
             p.window.texts[IDC_CURRENT] = " -5";
             p.logic.Apply();
         },
         {"set 0 A typed asked -5 clamped"}},
        {"typed value under variant B", openVariantB, typed, {"set 60 B typed asked 120 clamped"}},
        {"steps, and a step held at the maximum",
         [](PanelHarness& p) { p.OpenConfigured(499, 500); },
         [](PanelHarness& p) {
             p.logic.StepUp();
             p.logic.StepUp();
             p.logic.StepDown();
         },
         {"set 500 A step asked 500", "set 500 A step asked 501 clamped",
          "set 499 A step asked 499"}},
        {"step down at 0",
         [](PanelHarness& p) { p.OpenConfigured(0, 500); },
         [](PanelHarness& p) { p.logic.StepDown(); },
         {"set 0 A step asked -1 clamped"}},
        {"slider dragged, sent at the poll",
         openConfigured,
         [](PanelHarness& p) {
             p.window.sliderPos = 200;
             p.RunFor(kPollPeriodMs);
         },
         {"set 200 A slider asked 200"}},
        {"setpoint beyond the maximum, pulled down at the poll",
         [](PanelHarness& p) { p.OpenConfigured(600, 500); },
         [](PanelHarness& p) { p.RunFor(kPollPeriodMs); },
         {"set 500 A pull-down asked 600 clamped"}},
        {"empty field",
         openConfigured,
         [](PanelHarness& p) {
             p.window.texts[IDC_CURRENT] = "";
             p.logic.Apply();
         },
         {"box Warning! Format Error!"}},
        {"closed by the operator",
         openConfigured,
         [](PanelHarness& p) { p.logic.OnOpenClose(); },
         {"closed 3 COM3 by operator"}},
        {"device change, port still there",
         openConfigured,
         [](PanelHarness& p) { p.logic.OnDeviceChange(); },
         {"closed 3 COM3 by device change", "opened 3 COM3 again"}},
        {"device change, port gone",
         openConfigured,
         [](PanelHarness& p) {
             p.probe.present.clear();
             p.logic.OnDeviceChange();
         },
         {"closed 3 COM3 by device change", "lost 3 COM3 gone"}},
        {"device change, re-open fails",
         openConfigured,
         [](PanelHarness& p) {
             p.port.setupResult = false;
             p.logic.OnDeviceChange();
         },
         {"closed 3 COM3 by device change", "open failed 3 COM3 status 4",
          "lost 3 COM3 re-open failed"}},
        {"hang-up, port still there",
         openConfigured,
         [](PanelHarness& p) { p.logic.OnPortHangUp(); },
         {"closed 3 COM3 by hang-up", "opened 3 COM3 again"}},
        {"hang-up, port gone",
         openConfigured,
         [](PanelHarness& p) {
             p.probe.present.clear();
             p.logic.OnPortHangUp();
         },
         {"closed 3 COM3 by hang-up", "lost 3 COM3 gone"}},
        {"hang-up of a closed port, then a device change",
         openConfigured,
         [](PanelHarness& p) {
             p.logic.OnOpenClose();
             p.logic.OnPortHangUp();
             p.logic.OpenPort(3);
             p.logic.OnDeviceChange();
         },
         {"closed 3 COM3 by operator", "opened 3 COM3", "closed 3 COM3 by device change",
          "opened 3 COM3 again"}},
        {"open that fails",
         [](PanelHarness& p) { p.Start({3}); },
         [](PanelHarness& p) {
             p.port.setupResult = false;
             p.logic.OnOpenClose();
         },
         {"open failed 3 COM3 status 4"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PanelHarness panel;
        c.prepare(panel);
        Recorder first;
        Recorder second;
        panel.logic.AddListener(first);
        panel.logic.AddListener(second);
        c.act(panel);
        EXPECT_EQ(first.log, c.expected);
        EXPECT_EQ(second.log, c.expected);
    }
}

TEST(PanelEvents, ARemovedListenerHearsNothingMore) {
    PanelHarness panel;
    panel.OpenConfigured(300, 500);
    Recorder kept;
    Recorder removed;
    panel.logic.AddListener(removed);
    panel.logic.AddListener(kept);
    panel.logic.RemoveListener(removed);
    panel.logic.StepUp();
    EXPECT_TRUE(removed.log.empty());
    EXPECT_EQ(kept.log, std::vector<std::string>{"set 301 A step asked 301"});
}

// The typed input sends exactly what the field and SET send for the same text, at the same
// times, and the poll goes on the same way afterwards; it writes no control text and shows no
// box.
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
        {"0", 1, 0, 0, false},
        {"500", 1, 500, 500, false},
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
        PanelHarness byField;
        OpenWithMaxima(byField, c.variant);
        byField.port.sent.clear();
        byField.window.texts[IDC_CURRENT] = c.text;
        byField.logic.Apply();
        byField.RunFor(2000);

        PanelHarness byInput;
        OpenWithMaxima(byInput, c.variant);
        const std::string fieldBefore = byInput.window.texts[IDC_CURRENT];
        byInput.port.sent.clear();
        byInput.window.log.clear();
        const SetOutcome outcome = byInput.logic.SetCurrentText(c.text);
        EXPECT_EQ(outcome.status, SetStatus::Sent);
        EXPECT_EQ(outcome.milliamps, c.sent);
        EXPECT_EQ(outcome.channel, c.variant > 1 ? 'B' : 'A');
        EXPECT_EQ(outcome.asked, c.asked);
        EXPECT_EQ(outcome.clamped, c.clamped);
        EXPECT_EQ(byInput.window.texts[IDC_CURRENT], fieldBefore);
        byInput.RunFor(2000);
        EXPECT_EQ(byInput.port.sent, byField.port.sent);
        EXPECT_EQ(byInput.state.ActiveSetpoint(), c.sent);
        EXPECT_TRUE(byInput.window.warnings.empty());
        for (const std::string& change : byInput.window.log) {
            EXPECT_NE(change.rfind("text", 0), 0u) << change;
        }

        // A number gives what its text gives.
        const char* end = nullptr;
        const double number = std::strtod(c.text.c_str(), const_cast<char**>(&end));
        if (end != c.text.c_str()) {
            PanelHarness byNumber;
            OpenWithMaxima(byNumber, c.variant);
            byNumber.port.sent.clear();
            EXPECT_EQ(byNumber.logic.SetCurrent(number).milliamps, c.sent);
            byNumber.RunFor(2000);
            EXPECT_EQ(byNumber.port.sent, byField.port.sent);
        }
    }
}

TEST(TypedInputs, SetCurrentIsRefusedWhereSetIs) {
    struct Case {
        std::string name;
        std::function<void(PanelHarness&)> prepare;
        std::function<SetOutcome(PanelLogic&)> set;
        SetStatus expected;
    };
    const auto text = [](PanelLogic& logic) { return logic.SetCurrentText("100"); };
    const Case cases[] = {
        {"no port open", [](PanelHarness& p) { p.Start({3}); }, text, SetStatus::PortClosed},
        {"not configured",
         [](PanelHarness& p) {
             p.Start({3});
             p.logic.OnOpenClose();
         },
         text, SetStatus::NotConfigured},
        {"closed again",
         [](PanelHarness& p) {
             p.OpenConfigured(300, 500);
             p.logic.OnOpenClose();
         },
         text, SetStatus::PortClosed},
        {"empty text", [](PanelHarness& p) { p.OpenConfigured(300, 500); },
         [](PanelLogic& logic) { return logic.SetCurrentText(""); }, SetStatus::NoValue},
        {"not a number", [](PanelHarness& p) { p.OpenConfigured(300, 500); },
         [](PanelLogic& logic) { return logic.SetCurrent(std::nan("")); }, SetStatus::NoValue},
        {"infinite", [](PanelHarness& p) { p.OpenConfigured(300, 500); },
         [](PanelLogic& logic) { return logic.SetCurrent(INFINITY); }, SetStatus::NoValue},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PanelHarness panel;
        c.prepare(panel);
        panel.port.sent.clear();
        Recorder recorder;
        panel.logic.AddListener(recorder);
        EXPECT_EQ(c.set(panel.logic).status, c.expected);
        EXPECT_TRUE(panel.port.sent.empty());
        EXPECT_TRUE(recorder.log.empty());
        EXPECT_TRUE(panel.window.warnings.empty());
    }
}

TEST(TypedInputs, OpenByNumberOrListedNameAndClose) {
    struct Case {
        std::string name;
        std::function<OpenOutcome(PanelLogic&)> open;
        bool setupWorks;
        OpenRequestStatus expected;
        OpenStatus result;
        std::vector<int> setups;
    };
    const Case cases[] = {
        {"by number",
         [](PanelLogic& l) { return l.OpenPort(4); },
         true,
         OpenRequestStatus::Opened,
         OpenStatus::Opened,
         {4}},
        {"by listed name",
         [](PanelLogic& l) { return l.OpenPort(std::string_view("COM4")); },
         true,
         OpenRequestStatus::Opened,
         OpenStatus::Opened,
         {4}},
        {"number not listed",
         [](PanelLogic& l) { return l.OpenPort(5); },
         true,
         OpenRequestStatus::NotListed,
         OpenStatus::Absent,
         {}},
        {"name not listed",
         [](PanelLogic& l) { return l.OpenPort(std::string_view("4")); },
         true,
         OpenRequestStatus::NotListed,
         OpenStatus::Absent,
         {}},
        {"set-up fails",
         [](PanelLogic& l) { return l.OpenPort(4); },
         false,
         OpenRequestStatus::Failed,
         OpenStatus::Failed,
         {4}},
        {"port held by another program",
         [](PanelLogic& l) { return l.OpenPort(4); },
         false,
         OpenRequestStatus::Failed,
         OpenStatus::Busy,
         {4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PanelHarness panel;
        panel.Start({3, 4});
        const std::vector<PanelPort> listed = panel.logic.PortList();
        ASSERT_EQ(listed.size(), 2u);
        EXPECT_EQ(listed[1].number, 4);
        EXPECT_EQ(listed[1].name, "COM4");
        panel.port.setupResult = c.setupWorks;
        panel.port.refusedAs = c.result;  // the port's own reason reaches the host unchanged
        const OpenOutcome outcome = c.open(panel.logic);
        EXPECT_EQ(outcome.status, c.expected);
        EXPECT_EQ(outcome.result.status, c.result);
        EXPECT_EQ(panel.port.setups, c.setups);
        const bool opened = c.expected == OpenRequestStatus::Opened;
        EXPECT_EQ(panel.state.portOpen, opened);
        EXPECT_EQ(panel.window.texts[IDC_OPEN_PORT], opened ? "ClosePort" : "OpenPort");
        if (opened) {
            EXPECT_EQ(outcome.port.number, 4);
            EXPECT_EQ(outcome.port.name, "COM4");
            EXPECT_EQ(panel.logic.OpenPort(3).status, OpenRequestStatus::AlreadyOpen);
            EXPECT_EQ(panel.port.setups, c.setups);
        }
        EXPECT_EQ(panel.logic.ClosePort(), opened);
        EXPECT_FALSE(panel.state.portOpen);
        EXPECT_EQ(panel.port.shutdowns, opened ? 1 : 0);
    }
}

}  // namespace
