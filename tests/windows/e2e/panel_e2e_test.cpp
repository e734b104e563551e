// The Windows program end to end: the running panel, driven from this process, talks to the
// module simulator through a COM port, and the simulator's frame log shows what reached the line.
// The runner starts both and runs the suites in order: WithPort; UnconfirmedSet twice, with a
// module whose confirmations come late and then never; LostSetFrame with a module that loses its
// first set frames; LateConfirmation and ConfirmationsOnPollWrites with modules that confirm sets
// late while answering queries at once; ShortConfiguration with a module whose configuration
// reply has no variant byte; TricklingReplies with a module whose reply bytes come far apart;
// PortGone after it removed the port; Exit after it brought it back.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>
#include <thread>

#include "panel/panel_texts.h"
#include "protocol/frame.h"
#include "resources/panel_template.h"
#include "resources/resource.h"
#include "tests/hosts/win32/template_controls.h"
#include "tests/windows/e2e/frame_log.h"
#include "tests/windows/e2e/panel_remote.h"

namespace {

// Generous: Wine under a loaded machine can be slow, and nothing here measures time.
constexpr DWORD kDeadlineMs = 30000;
// After a storm of device changes: the last one's handling (under half a second), one more
// for the changes that came during it, the configuration asked again and two poll periods, with
// room to spare; handled one by one, the storm's changes take some 20 s more.
constexpr DWORD kStormSettledMs = 10000;
// A set that no reply confirmed within a second is followed by the question of what the module
// holds: within two seconds of the set the window shows the answer.
constexpr DWORD kResyncMs = 2000;
// For what must happen within a few poll periods: a failing run does not wait the full deadline.
constexpr DWORD kShortDeadlineMs = 5000;

template <class Condition>
bool WaitUntil(Condition condition, DWORD deadlineMs = kDeadlineMs) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > deadlineMs) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

std::string Setting(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// What the runner set up: the simulator's log, the panel's name for its port, and the
// simulator's configured setpoint and maximum (variant A).
struct Setup {
    std::string log = Setting("E2E_SIM_LOG");
    std::string port = Setting("E2E_PORT");
    int setpoint = std::atoi(Setting("E2E_SETPOINT").c_str());
    int maximum = std::atoi(Setting("E2E_MAXIMUM").c_str());
};

const Setup& Given() {
    static const Setup setup;
    return setup;
}

std::vector<Frame> Frames() {
    return ReadReceivedFrames(Given().log);
}

std::size_t FrameCount() {
    return Frames().size();
}

// Waits until the log holds at least `count` frames of this request code after index `from`.
bool WaitForFrames(std::size_t from, std::uint8_t code, std::size_t count) {
    return WaitUntil([&] { return CountFrom(Frames(), from, code) >= count; });
}

std::vector<int> SetValuesFrom(std::size_t from) {
    std::vector<int> values;
    std::vector<Frame> frames = Frames();
    for (std::size_t i = from; i < frames.size(); ++i) {
        if (IsSetFrame(frames[i])) {
            values.push_back(SetFrameValue(frames[i]));
        }
    }
    return values;
}

// The module's setpoint: the last value the panel set, or the simulator's initial one.
int ModuleSetpoint() {
    std::vector<int> values = SetValuesFrom(0);
    return values.empty() ? Given().setpoint : values.back();
}

std::optional<int> PortIndex(const PanelRemote& panel) {
    std::vector<std::string> items = panel.PortListItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == Given().port) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

bool ShowsText(const PanelRemote& panel, int controlId, const std::string& text,
               DWORD deadlineMs = kDeadlineMs) {
    return WaitUntil([&] { return panel.Text(controlId) == text; }, deadlineMs);
}

// The current field and the slider both show `value`.
bool ShowsCurrent(const PanelRemote& panel, int value, DWORD deadlineMs) {
    return WaitUntil(
        [&] {
            return panel.Text(IDC_CURRENT) == std::to_string(value) &&
                   panel.SliderPosition() == value;
        },
        deadlineMs);
}

// Which control of the panel has the keyboard focus, and whether the panel is in front: where
// real keystrokes go.
std::string FocusOf(const PanelRemote& panel) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(panel.Panel(), nullptr), &info);
    return "focus on control " + std::to_string(GetDlgCtrlID(info.hwndFocus)) +
           (GetForegroundWindow() == panel.Panel() ? ", panel in front" : ", panel not in front");
}

std::string ShownCurrent(const PanelRemote& panel) {
    return "field \"" + panel.Text(IDC_CURRENT) + "\", slider " +
           std::to_string(panel.SliderPosition());
}

// Every frame from `from` on is a query or a set of one of `allowed`.
void ExpectOnlyQueriesAndSetsOf(std::size_t from, const std::vector<int>& allowed) {
    const std::vector<Frame> frames = Frames();
    for (std::size_t i = from; i < frames.size(); ++i) {
        if (IsSetFrame(frames[i])) {
            const int value = SetFrameValue(frames[i]);
            EXPECT_TRUE(std::find(allowed.begin(), allowed.end(), value) != allowed.end())
                << "frame " << i << " sets " << value;
        } else {
            const std::uint8_t code = frames[i][kCodeIndex];
            EXPECT_TRUE(code == CMD_QUERY_CONFIG || code == CMD_QUERY_TEMP ||
                        code == CMD_QUERY_POWER)
                << "frame " << i << " has code " << static_cast<int>(code);
        }
    }
}

class PanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(Given().log.empty()) << "E2E_SIM_LOG names the simulator's frame log";
        ASSERT_FALSE(Given().port.empty()) << "E2E_PORT names the port, e.g. COM5";
        HWND found = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (found = PanelRemote::FindPanel()) != nullptr; }))
            << "the panel did not appear";
        // The dialog manager shows the panel once its controls exist and it has initialised.
        ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(found) != FALSE; }));
        panel_.emplace(found);
    }

    const PanelRemote& Panel() const { return *panel_; }

    // Selects the given port and opens it; from is the frame count before the click.
    void OpenGivenPort(std::size_t& from) {
        std::optional<int> index = PortIndex(Panel());
        ASSERT_TRUE(index) << Given().port << " is not in the port list";
        Panel().SelectPortItem(*index);
        from = FrameCount();
        Panel().Click(IDC_OPEN_PORT);
        ASSERT_TRUE(ShowsText(Panel(), IDC_OPEN_PORT, kClosePortText));
    }

    void OpenPortAndWaitForConfiguration() {
        std::size_t from = 0;
        ASSERT_NO_FATAL_FAILURE(OpenGivenPort(from));
        EXPECT_FALSE(Panel().IsEnabled(IDC_PORT_LIST));
        ASSERT_TRUE(WaitForFrames(from, CMD_QUERY_CONFIG, 1)) << "no configuration query";
        ASSERT_TRUE(ShowsText(Panel(), IDC_CURRENT, std::to_string(ModuleSetpoint())));
    }

  private:
    std::optional<PanelRemote> panel_;
};

using WithPort = PanelTest;
using UnconfirmedSet = PanelTest;
using LostSetFrame = PanelTest;
using LateConfirmation = PanelTest;
using ConfirmationsOnPollWrites = PanelTest;
using ShortConfiguration = PanelTest;
using TricklingReplies = PanelTest;
using PortGone = PanelTest;
using Exit = PanelTest;

TEST_F(WithPort, ControlsFollowTheTemplateInTabOrder) {
    std::vector<HWND> controls = Panel().Controls();
    ASSERT_EQ(controls.size(), std::size(kTemplateControls));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const TemplateControl& expected = kTemplateControls[i];
        SCOPED_TRACE(expected.text);
        EXPECT_EQ(static_cast<int>(static_cast<short>(GetDlgCtrlID(controls[i]))), expected.id);
        char className[64] = {};
        GetClassNameA(controls[i], className, sizeof(className));
        EXPECT_EQ(lstrcmpiA(className, expected.className), 0) << className;
        // The texts as the template gives them, the full-width brackets and the degree sign
        // included; the port list shows its selection instead.
        if (expected.id != IDC_PORT_LIST) {
            EXPECT_EQ(Panel().Utf8Text(controls[i]), expected.text);
        }
    }
    EXPECT_EQ(Panel().Utf8Text(Panel().Panel()), PANEL_CAPTION);
}

TEST_F(WithPort, StartsClosedWithThePortListed) {
    EXPECT_EQ(Panel().Text(IDC_OPEN_PORT), kOpenPortText);
    EXPECT_TRUE(Panel().IsEnabled(IDC_PORT_LIST));
    EXPECT_TRUE(PortIndex(Panel())) << Given().port << " is not in the port list";
    EXPECT_EQ(Panel().SelectedPortItem(), 0);
    for (int field : {IDC_CURRENT, IDC_LD_TEMP, IDC_POWER}) {
        EXPECT_EQ(Panel().Text(field), "") << "control " << field;
    }
    EXPECT_EQ(FrameCount(), 0u) << "nothing is sent before the port is opened";
}

TEST_F(WithPort, OpenAsksForTheConfigurationAndShowsIt) {
    OpenPortAndWaitForConfiguration();
    EXPECT_EQ(Panel().SliderMaximum(), Given().maximum);
    EXPECT_EQ(Panel().SliderPosition(), Given().setpoint);
    EXPECT_EQ(Panel().SliderTickCount(), 11) << "nine ticks between the two ends";
}

TEST_F(WithPort, PollsTemperatureThenPowerAndShowsBoth) {
    std::size_t from = FrameCount();
    ASSERT_TRUE(WaitForFrames(from, CMD_QUERY_TEMP, 3));
    std::vector<Frame> frames = Frames();
    EXPECT_EQ(CountFrom(frames, from, CMD_QUERY_CONFIG), 0u) << "configuration asked again";
    for (std::size_t i = from; i + 1 < frames.size(); ++i) {
        if (frames[i][kCodeIndex] == CMD_QUERY_TEMP) {
            EXPECT_EQ(frames[i + 1][kCodeIndex], CMD_QUERY_POWER) << "frame " << i + 1;
        }
    }
    std::regex oneDecimal(R"(-?\d+\.\d)");
    EXPECT_TRUE(WaitUntil([&] { return std::regex_match(Panel().Text(IDC_LD_TEMP), oneDecimal); }))
        << Panel().Text(IDC_LD_TEMP);
    EXPECT_TRUE(WaitUntil([&] { return std::regex_match(Panel().Text(IDC_POWER), oneDecimal); }))
        << Panel().Text(IDC_POWER);
}

TEST_F(WithPort, CurrentFieldTakesOnlyANumberAndEnterAppliesIt) {
    Panel().ClearText(IDC_CURRENT);
    // Rejected on the way: the second '.', a letter, a '-' after the start, a carriage return.
    // The final digit shows that everything before it has been handled.
    Panel().Type(IDC_CURRENT, L"-1.5.x-\r7");
    ASSERT_TRUE(ShowsText(Panel(), IDC_CURRENT, "-1.57"));

    std::size_t from = FrameCount();
    Panel().PressKey(IDC_CURRENT, VK_ESCAPE);  // never closes the panel
    Panel().PressKey(IDC_CURRENT, VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return !SetValuesFrom(from).empty(); }));
    EXPECT_EQ(SetValuesFrom(from).front(), 0) << "a negative value is sent as 0";
    EXPECT_TRUE(ShowsText(Panel(), IDC_CURRENT, "0")) << "the module's answer is shown";
    EXPECT_TRUE(IsWindow(Panel().Panel()));
}

TEST_F(WithPort, SetAppliesTheTypedValue) {
    Panel().ClearText(IDC_CURRENT);
    Panel().Type(IDC_CURRENT, L"30.9");
    ASSERT_TRUE(ShowsText(Panel(), IDC_CURRENT, "30.9"));
    std::size_t from = FrameCount();
    Panel().Click(IDC_SET);
    ASSERT_TRUE(WaitUntil([&] { return !SetValuesFrom(from).empty(); }));
    EXPECT_EQ(SetValuesFrom(from), std::vector<int>{30});
    EXPECT_TRUE(ShowsText(Panel(), IDC_CURRENT, "30"));
    EXPECT_EQ(Panel().SliderPosition(), 30);
}

TEST_F(WithPort, HeldStepButtonRepeatsFasterAndTheReleaseStepsOnceMore) {
    constexpr std::size_t kTicksHeld = 12;
    int start = std::stoi(Panel().Text(IDC_CURRENT));
    std::size_t from = FrameCount();
    Panel().HoldLeftButton(IDC_STEP_UP);
    ASSERT_TRUE(WaitUntil([&] { return SetValuesFrom(from).size() >= kTicksHeld; }));
    Panel().ReleaseHeldLeftButton();
    // The release's click is the last set frame; wait until the module's answer shows it.
    ASSERT_TRUE(WaitUntil([&] {
        std::vector<int> values = SetValuesFrom(from);
        return values.size() > kTicksHeld &&
               Panel().Text(IDC_CURRENT) == std::to_string(values.back());
    }));

    std::vector<int> values = SetValuesFrom(from);
    int expected = start;
    for (std::size_t tick = 1; tick < values.size(); ++tick) {
        expected += static_cast<int>(tick) / 5 + 1;  // the step grows every fifth repeat
        EXPECT_EQ(values[tick - 1], expected) << "repeat " << tick;
    }
    EXPECT_EQ(values.back(), values[values.size() - 2] + 1) << "the click steps by one";
    ASSERT_TRUE(WaitForFrames(FrameCount(), CMD_QUERY_TEMP, 1)) << "polling resumes";
}

TEST_F(WithPort, ClickOnStepDownStepsByOne) {
    int start = std::stoi(Panel().Text(IDC_CURRENT));
    std::size_t from = FrameCount();
    Panel().Click(IDC_STEP_DOWN);
    ASSERT_TRUE(ShowsText(Panel(), IDC_CURRENT, std::to_string(start - 1)));
    EXPECT_EQ(SetValuesFrom(from), std::vector<int>{start - 1});
}

TEST_F(WithPort, RepeatEndsWhenABoxTakesTheRelease) {
    std::size_t from = FrameCount();
    Panel().HoldLeftButton(IDC_STEP_UP);
    ASSERT_TRUE(WaitUntil([&] { return SetValuesFrom(from).size() >= 2; }))
        << "holding the button does not repeat";
    // Enter on an empty field opens the "Format Error!" box. The module's confirmations of the
    // repeat keep filling the field, so the Enter may come too late: try again.
    HWND box = nullptr;
    for (int attempt = 0; attempt < 10 && box == nullptr; ++attempt) {
        Panel().ClearText(IDC_CURRENT);
        Panel().PressKey(IDC_CURRENT, VK_RETURN);
        WaitUntil([&] { return (box = PanelRemote::FindBox(kWarningTitle)) != nullptr; }, 1000);
    }
    Panel().ReleaseHeldLeftButton();  // while the box is up: the panel never sees it
    ASSERT_NE(box, nullptr) << "no box opened";
    PanelRemote::PressOk(box);
    ASSERT_TRUE(WaitUntil([&] { return IsWindow(box) == FALSE; }));

    // Past a frame that was already on its way, a few repeat periods go by without a step.
    Sleep(300);
    std::size_t afterBox = FrameCount();
    Sleep(2000);
    EXPECT_EQ(SetValuesFrom(afterBox), std::vector<int>{}) << "the repeat outlived the button";
    ASSERT_TRUE(WaitForFrames(afterBox, CMD_QUERY_TEMP, 1)) << "polling did not resume";
}

TEST_F(WithPort, DeviceChangeWithThePortPresentReopensAsksForTheConfigurationAndPolls) {
    ASSERT_TRUE(Panel().SendDeviceChange());
    // The panel answers once it has begun to close the port; frames logged from here on, but
    // for one already on its way, went out on the re-opened port.
    std::size_t from = FrameCount();
    EXPECT_EQ(Panel().Text(IDC_OPEN_PORT), kClosePortText);
    EXPECT_FALSE(Panel().IsEnabled(IDC_PORT_LIST));
    ASSERT_TRUE(WaitForFrames(from, CMD_QUERY_TEMP, 2)) << "polling stopped";
    EXPECT_GE(CountFrom(Frames(), from, CMD_QUERY_CONFIG), 1u) << "the configuration is not asked";
    // Nothing is set with the old configuration: the first frame that is not a poll asks.
    const std::vector<Frame> frames = Frames();
    for (std::size_t i = from; i < frames.size(); ++i) {
        if (frames[i][kCodeIndex] == CMD_QUERY_CONFIG) {
            break;
        }
        EXPECT_FALSE(IsSetFrame(frames[i])) << "set before the configuration, frame " << i;
    }
}

TEST_F(WithPort, StormOfDeviceChangesEndsWithThePanelPolling) {
    // Changes 50 ms apart, each sent as the system sends it, none waiting for the one before to
    // be answered: most arrive while the panel is stopping its worker for an earlier one.
    constexpr int kChanges = 50;
    std::vector<std::thread> senders;
    for (int change = 0; change < kChanges; ++change) {
        senders.emplace_back([this] { Panel().SendDeviceChange(); });
        Sleep(50);
    }
    std::size_t from = FrameCount();
    // Far longer than the handling of the last change and one poll period; handled one by one,
    // the storm's changes would keep the port closing and re-opening for some 20 s more.
    const bool polling =
        WaitUntil([&] { return CountFrom(Frames(), from, CMD_QUERY_TEMP) >= 2; }, kStormSettledMs);
    for (std::thread& sender : senders) {
        sender.join();
    }
    ASSERT_TRUE(polling) << "polling did not resume after the storm";
    EXPECT_EQ(Panel().Text(IDC_OPEN_PORT), kClosePortText);
    EXPECT_FALSE(Panel().IsEnabled(IDC_PORT_LIST));
}

TEST_F(WithPort, CloseThenOpenOpensTheSamePort) {
    std::optional<int> index = PortIndex(Panel());
    ASSERT_TRUE(index && *index != 0) << "the runner lists another port before " << Given().port;
    ASSERT_EQ(Panel().Text(IDC_OPEN_PORT), kClosePortText);
    Panel().Click(IDC_OPEN_PORT);
    ASSERT_TRUE(ShowsText(Panel(), IDC_OPEN_PORT, kOpenPortText));
    EXPECT_EQ(Panel().SelectedPortItem(), *index);

    std::size_t from = FrameCount();
    Panel().Click(IDC_OPEN_PORT);
    ASSERT_TRUE(ShowsText(Panel(), IDC_OPEN_PORT, kClosePortText));
    ASSERT_TRUE(WaitForFrames(from, CMD_QUERY_CONFIG, 1)) << "another port was opened";
    ASSERT_TRUE(ShowsText(Panel(), IDC_CURRENT, std::to_string(ModuleSetpoint())));
}

TEST_F(WithPort, CloseStopsAndReopeningAsksForTheConfigurationAgain) {
    Panel().Click(IDC_OPEN_PORT);
    ASSERT_TRUE(ShowsText(Panel(), IDC_OPEN_PORT, kOpenPortText));
    EXPECT_TRUE(Panel().IsEnabled(IDC_PORT_LIST));
    EXPECT_TRUE(PortIndex(Panel()));
    // Closed: a few poll periods pass without a frame.
    std::size_t closedAt = FrameCount();
    Sleep(2000);
    EXPECT_EQ(FrameCount(), closedAt) << "frames sent after the close";

    OpenPortAndWaitForConfiguration();  // left open for the next suite
}

// The module confirms a set late (after the next poll) or never, having taken the value: the
// window shows it on the field and the slider within two seconds, and nothing but the typed value
// goes out (the poll never sends the slider's old position back over it).
TEST_F(UnconfirmedSet, WindowShowsTheTakenValueAndSendsNoOther) {
    ASSERT_EQ(Panel().Text(IDC_OPEN_PORT), kClosePortText) << "runs with the port open";
    const int typed = Panel().SliderPosition() == 200 ? 210 : 200;
    Panel().ClearText(IDC_CURRENT);
    Panel().Type(IDC_CURRENT, std::to_wstring(typed));
    ASSERT_TRUE(ShowsText(Panel(), IDC_CURRENT, std::to_string(typed)));
    std::size_t from = FrameCount();
    Panel().Click(IDC_SET);
    EXPECT_TRUE(ShowsCurrent(Panel(), typed, kResyncMs)) << ShownCurrent(Panel());
    // Several polls, the first well before a late confirmation.
    ASSERT_TRUE(WaitForFrames(from, CMD_QUERY_TEMP, 4)) << "polling stopped";
    EXPECT_FALSE(SetValuesFrom(from).empty());
    ExpectOnlyQueriesAndSetsOf(from, {typed});
    EXPECT_TRUE(ShowsCurrent(Panel(), typed, 0)) << ShownCurrent(Panel());
}

// The module loses the set frames (the operator's and one more): it keeps what it held, and the
// window comes back to that instead of showing a value the module never took.
TEST_F(LostSetFrame, WindowReturnsToWhatTheModuleHolds) {
    ASSERT_EQ(Panel().Text(IDC_OPEN_PORT), kClosePortText) << "runs with the port open";
    const int held = Given().setpoint;  // the runner's new module has taken no set
    const int typed = held + 160;
    Panel().ClearText(IDC_CURRENT);
    Panel().Type(IDC_CURRENT, std::to_wstring(typed));
    ASSERT_TRUE(ShowsText(Panel(), IDC_CURRENT, std::to_string(typed)));
    std::size_t from = FrameCount();
    Panel().Click(IDC_SET);
    EXPECT_TRUE(ShowsCurrent(Panel(), held, kResyncMs)) << ShownCurrent(Panel());
    EXPECT_GE(CountFrom(Frames(), from, CMD_QUERY_CONFIG), 1u) << "the module was not asked";
    ASSERT_TRUE(WaitForFrames(FrameCount(), CMD_QUERY_TEMP, 2)) << "polling stopped";
    ExpectOnlyQueriesAndSetsOf(from, {typed});
    EXPECT_TRUE(ShowsCurrent(Panel(), held, 0)) << ShownCurrent(Panel());
}

// The operator clears the field and types 470 with the keyboard while a setpoints reply (a late
// confirmation) lands between the first digit and the rest: the field keeps the operator's text,
// so 470 is what is sent, not the digits joined to the module's value.
TEST_F(LateConfirmation, TypingWhileAConfirmationLandsSendsWhatWasTyped) {
    ASSERT_EQ(Panel().Text(IDC_OPEN_PORT), kClosePortText) << "runs with the port open";
    Panel().ClearText(IDC_CURRENT);
    Panel().Type(IDC_CURRENT, L"300");
    ASSERT_TRUE(ShowsText(Panel(), IDC_CURRENT, "300"));
    std::size_t from = FrameCount();
    Panel().Click(IDC_SET);
    ASSERT_TRUE(WaitUntil([&] { return !SetValuesFrom(from).empty(); }, kShortDeadlineMs));
    const DWORD setAt = GetTickCount();  // its confirmation leaves 800 ms from here

    Panel().ClickWithMouse(IDC_CURRENT);
    PanelRemote::PressRealKey(VK_END);
    PanelRemote::PressRealKey(VK_BACK, 6);
    PanelRemote::TypeKeys(L"4");
    EXPECT_TRUE(ShowsText(Panel(), IDC_CURRENT, "4", 700))
        << "field \"" << Panel().Text(IDC_CURRENT) << "\", " << FocusOf(Panel());
    const DWORD landed = setAt + 1300;
    while (static_cast<LONG>(landed - GetTickCount()) > 0) {
        Sleep(50);
    }
    PanelRemote::TypeKeys(L"70");
    PanelRemote::PressRealKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return SetValuesFrom(from).size() >= 2; }, kShortDeadlineMs))
        << "no set after Enter; the field shows \"" << Panel().Text(IDC_CURRENT) << "\"";
    EXPECT_EQ(SetValuesFrom(from).back(), 470);
    ExpectOnlyQueriesAndSetsOf(from, {300, 470});
    EXPECT_TRUE(ShowsCurrent(Panel(), 470, kResyncMs)) << ShownCurrent(Panel());
}

// The same while the configuration reply of a re-opened port (a device change) lands.
TEST_F(LateConfirmation, TypingWhileTheReopenedPortsConfigurationLandsSendsWhatWasTyped) {
    ASSERT_EQ(Panel().Text(IDC_OPEN_PORT), kClosePortText) << "runs with the port open";
    const std::string held = Panel().Text(IDC_CURRENT);
    ASSERT_NE(held, "4");
    Panel().ClickWithMouse(IDC_CURRENT);
    PanelRemote::PressRealKey(VK_END);
    PanelRemote::PressRealKey(VK_BACK, 6);
    PanelRemote::TypeKeys(L"4");
    ASSERT_TRUE(ShowsText(Panel(), IDC_CURRENT, "4", kShortDeadlineMs))
        << "field \"" << Panel().Text(IDC_CURRENT) << "\", " << FocusOf(Panel());
    std::size_t from = FrameCount();
    ASSERT_TRUE(Panel().SendDeviceChange());
    ASSERT_TRUE(WaitForFrames(from, CMD_QUERY_CONFIG, 1)) << "the configuration is not asked";
    // The module answers the configuration at once; past its arrival and handling:
    ASSERT_TRUE(WaitForFrames(from, CMD_QUERY_TEMP, 1)) << "the re-opened port is not polled";
    PanelRemote::TypeKeys(L"70");
    PanelRemote::PressRealKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return !SetValuesFrom(from).empty(); }, kShortDeadlineMs))
        << "no set after Enter; the field shows \"" << Panel().Text(IDC_CURRENT) << "\"";
    EXPECT_EQ(SetValuesFrom(from), std::vector<int>{470});
    EXPECT_TRUE(ShowsCurrent(Panel(), 470, kResyncMs)) << ShownCurrent(Panel());
}

// Holding 》 while each confirmation comes 0.8 s late: the confirmation of an earlier step never
// moves the base of the next, so the values sent only rise.
TEST_F(LateConfirmation, HeldStepUpNeverSendsALowerValue) {
    constexpr int kStart = 100;
    constexpr std::size_t kTicksHeld = 12;
    Panel().ClearText(IDC_CURRENT);
    Panel().Type(IDC_CURRENT, std::to_wstring(kStart));
    ASSERT_TRUE(ShowsText(Panel(), IDC_CURRENT, std::to_string(kStart)));
    Panel().Click(IDC_SET);
    ASSERT_TRUE(ShowsCurrent(Panel(), kStart, kShortDeadlineMs)) << ShownCurrent(Panel());

    std::size_t from = FrameCount();
    Panel().HoldLeftButton(IDC_STEP_UP);
    const bool repeated =
        WaitUntil([&] { return SetValuesFrom(from).size() >= kTicksHeld; }, kShortDeadlineMs);
    Panel().ReleaseHeldLeftButton();
    ASSERT_TRUE(repeated) << "holding the button does not repeat";
    Sleep(1500);  // the last confirmations land
    const std::vector<int> values = SetValuesFrom(from);
    ASSERT_FALSE(values.empty());
    EXPECT_GT(values.front(), kStart);
    for (std::size_t i = 1; i < values.size(); ++i) {
        EXPECT_GE(values[i], values[i - 1]) << "set " << i << " steps back";
    }
    EXPECT_TRUE(ShowsCurrent(Panel(), values.back(), kResyncMs)) << ShownCurrent(Panel());
}

// Confirmations 0.7 to 1.2 s late land at any point of the poll's writes: none is thrown away by
// a write, so over several sets the window ends at what the module holds, and one step from
// there steps from it.
TEST_F(ConfirmationsOnPollWrites, WindowEndsAtWhatTheModuleHolds) {
    ASSERT_EQ(Panel().Text(IDC_OPEN_PORT), kClosePortText) << "runs with the port open";
    const std::vector<int> sets = {400, 150, 400, 150, 400, 150};
    std::size_t from = FrameCount();
    for (int value : sets) {
        Panel().SetText(IDC_CURRENT, std::to_string(value));
        Panel().Click(IDC_SET);
        Sleep(900);
    }
    const int held = sets.back();
    EXPECT_TRUE(ShowsCurrent(Panel(), held, kResyncMs)) << ShownCurrent(Panel());
    ExpectOnlyQueriesAndSetsOf(from, sets);
    EXPECT_EQ(SetValuesFrom(from).back(), held);

    Sleep(1500);  // every confirmation has landed; the window stays where the module is
    EXPECT_TRUE(ShowsCurrent(Panel(), held, 0)) << ShownCurrent(Panel());
    std::size_t stepFrom = FrameCount();
    Panel().Click(IDC_STEP_UP);
    ASSERT_TRUE(WaitUntil([&] { return !SetValuesFrom(stepFrom).empty(); }, kShortDeadlineMs));
    EXPECT_EQ(SetValuesFrom(stepFrom), std::vector<int>{held + 1});
}

// A module whose configuration reply ends after the maxima (no variant byte) configures the
// panel: its setpoint on the field and the slider, its maximum on the slider, polling started.
TEST_F(ShortConfiguration, ConfiguresThePanel) {
    ASSERT_EQ(Panel().Text(IDC_OPEN_PORT), kClosePortText) << "runs with the port open";
    Panel().Click(IDC_OPEN_PORT);
    ASSERT_TRUE(ShowsText(Panel(), IDC_OPEN_PORT, kOpenPortText));
    Panel().ClearText(IDC_CURRENT);
    std::size_t from = 0;
    ASSERT_NO_FATAL_FAILURE(OpenGivenPort(from));
    EXPECT_TRUE(ShowsCurrent(Panel(), Given().setpoint, kShortDeadlineMs)) << ShownCurrent(Panel());
    EXPECT_EQ(Panel().SliderMaximum(), Given().maximum);
    EXPECT_TRUE(
        WaitUntil([&] { return CountFrom(Frames(), from, CMD_QUERY_TEMP) >= 2; }, kShortDeadlineMs))
        << "not polling: " << CountFrom(Frames(), from, CMD_QUERY_CONFIG)
        << " configuration queries";
}

// Each reply byte 100 ms after the one before: every reply is abandoned, so a port opened again
// is never configured, and nothing is shown or set from what trickles in.
TEST_F(TricklingReplies, ReplyBytesFarApartNeverMakeAReply) {
    ASSERT_EQ(Panel().Text(IDC_OPEN_PORT), kClosePortText) << "runs with the port open";
    Panel().Click(IDC_OPEN_PORT);
    ASSERT_TRUE(ShowsText(Panel(), IDC_OPEN_PORT, kOpenPortText));
    Panel().ClearText(IDC_CURRENT);
    std::size_t from = 0;
    ASSERT_NO_FATAL_FAILURE(OpenGivenPort(from));
    // Ten queries, two seconds: long enough for the slowest configuration reply to trickle in.
    WaitUntil([&] {
        return CountFrom(Frames(), from, CMD_QUERY_CONFIG) >= 10 ||
               !Panel().Text(IDC_CURRENT).empty();
    });
    EXPECT_EQ(Panel().Text(IDC_CURRENT), "") << "a trickled configuration was taken";
    EXPECT_EQ(CountFrom(Frames(), from, CMD_QUERY_TEMP), 0u) << "polling as if configured";
    EXPECT_EQ(SetValuesFrom(from), std::vector<int>{});
    // Left open: the runner's next module answers promptly.
}

TEST_F(PortGone, DeviceChangeClosesAndDropsThePort) {
    ASSERT_EQ(Panel().Text(IDC_OPEN_PORT), kClosePortText) << "runs after WithPort";
    ASSERT_TRUE(Panel().SendDeviceChange());
    ASSERT_TRUE(ShowsText(Panel(), IDC_OPEN_PORT, kOpenPortText));
    EXPECT_TRUE(Panel().IsEnabled(IDC_PORT_LIST));
    EXPECT_FALSE(PortIndex(Panel())) << Given().port << " is still listed";
}

TEST_F(Exit, ClosingThePanelWithThePortOpenEndsTheProgram) {
    ASSERT_TRUE(Panel().SendDeviceChange());  // the runner has brought the port back
    ASSERT_TRUE(WaitUntil([&] { return PortIndex(Panel()).has_value(); }));
    OpenPortAndWaitForConfiguration();
    Panel().Close();
    EXPECT_TRUE(WaitUntil([] { return PanelRemote::FindPanel() == nullptr; }));
}

}  // namespace
