// The trend window and the recording of the running Windows program, driven from this process.
// run_trend_e2e.sh starts the program with --record and runs the suites: RecordingFails with a
// file that cannot be created; Trend with one that can, after which it checks the CSV against
// the simulator's log.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "panel/panel_texts.h"
#include "resources/resource.h"
#include "tests/hosts/win32/template_controls.h"
#include "tests/windows/e2e/panel_remote.h"

namespace {

constexpr DWORD kDeadlineMs = 30000;
constexpr wchar_t kTrendClass[] = L"DriverPanelTrend";
constexpr char kTrendTitle[] = "Readings over time";
constexpr WPARAM kTrendMenuCommand = 0x0010;
constexpr int kMessageBoxText = 0xFFFF;  // the message box's static text

template <class Condition>
bool WaitUntil(Condition condition) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > kDeadlineMs) {
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

HWND TrendWindow() {
    return FindWindowW(kTrendClass, nullptr);
}

bool Shown(HWND window) {
    return window != nullptr && IsWindowVisible(window);
}

// Real key presses, as the keyboard sends them, to the foreground window.
void PressCtrlT() {
    INPUT keys[4] = {};
    const WORD codes[4] = {VK_CONTROL, 'T', 'T', VK_CONTROL};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = codes[i];
        keys[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    SendInput(4, keys, sizeof(INPUT));
}

class TrendTest : public ::testing::Test {
  protected:
    void SetUp() override {
        HWND found = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
            found = PanelRemote::FindPanel();
            return Shown(found);
        })) << "the panel did not appear";
        panel_.emplace(found);
    }

    const PanelRemote& Panel() const { return *panel_; }

    // Opens the runner's port (E2E_PORT) and waits for the first power reading.
    void OpenPortAndWaitForReadings() {
        if (Panel().Text(IDC_OPEN_PORT) != kClosePortText) {
            const std::vector<std::string> items = Panel().PortListItems();
            int index = -1;
            for (std::size_t i = 0; i < items.size(); ++i) {
                if (items[i] == Setting("E2E_PORT")) {
                    index = static_cast<int>(i);
                }
            }
            ASSERT_GE(index, 0) << Setting("E2E_PORT") << " is not in the port list";
            Panel().SelectPortItem(index);
            Panel().Click(IDC_OPEN_PORT);
        }
        ASSERT_TRUE(WaitUntil([&] { return !Panel().Text(IDC_POWER).empty(); }))
            << "no power reading";
    }

  private:
    std::optional<PanelRemote> panel_;
};

using RecordingFails = TrendTest;
using Trend = TrendTest;

TEST_F(RecordingFails, ToldInABoxThatLeavesThePanelPolling) {
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = PanelRemote::FindBox("Recording")) != nullptr; }))
        << "no box tells that the recording failed";
    const std::string told = Panel().Utf8Text(GetDlgItem(box, kMessageBoxText));
    EXPECT_NE(told.find("Cannot record to " + Setting("E2E_RECORD")), std::string::npos) << told;
    // With the box up, the panel still takes the operator's clicks and polls the module.
    EXPECT_TRUE(IsWindowEnabled(Panel().Panel()));
    ASSERT_NO_FATAL_FAILURE(OpenPortAndWaitForReadings());
    PanelRemote::PressOk(box);
    EXPECT_TRUE(WaitUntil([] { return PanelRemote::FindBox("Recording") == nullptr; }));
}

// After the failure, the operator picks another file in the trend window's save dialog; Stop
// ends the recording with the rows so far.
TEST_F(RecordingFails, RecordAndStopFromTheTrendWindow) {
    PostMessageW(Panel().Panel(), WM_SYSCOMMAND, kTrendMenuCommand, 0);
    ASSERT_TRUE(WaitUntil([] { return Shown(TrendWindow()); }));
    HWND record = FindWindowExW(TrendWindow(), nullptr, L"Button", L"Record\u2026");
    ASSERT_TRUE(record != nullptr);
    // Posted: the click runs the modal save dialog.
    PostMessageW(TrendWindow(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(record), BN_CLICKED),
                 reinterpret_cast<LPARAM>(record));
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = PanelRemote::FindBox("Record readings to")); }));
    const std::string path = Setting("E2E_RECORD_AGAIN");
    HWND name = nullptr;
    for (int id : {0x47c, 0x480}) {  // the file name: a combo box, or an edit control
        name = name != nullptr ? name : GetDlgItem(dialog, id);
    }
    ASSERT_TRUE(name != nullptr);
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] { return Panel().Utf8Text(record) == "Stop"; }));
    EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    SendMessageW(record, BM_CLICK, 0, 0);
    EXPECT_EQ(Panel().Utf8Text(record), "Record\u2026");
}

// Opened before the port: its first creation once held the panel's thread for seconds under
// Wine on a loaded machine, and polls sent back to back after such a hold get their replies
// filed one row late in the recording, which the check below would take for a fault.
TEST_F(Trend, CtrlTOpensItOutsideThePanelsLayout) {
    ASSERT_FALSE(Shown(TrendWindow())) << "open before it was asked for";
    SetForegroundWindow(Panel().Panel());
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == Panel().Panel(); }));
    PressCtrlT();
    ASSERT_TRUE(WaitUntil([] { return Shown(TrendWindow()); })) << "Ctrl+T did not open it";
    EXPECT_EQ(Panel().Utf8Text(TrendWindow()), kTrendTitle);
    EXPECT_EQ(GetWindow(TrendWindow(), GW_OWNER), Panel().Panel());
    EXPECT_EQ(Panel().Controls().size(), std::size(kTemplateControls));
}

TEST_F(Trend, SystemMenuItemShowsItAgain) {
    ASSERT_TRUE(Shown(TrendWindow()));
    PostMessageW(TrendWindow(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([] { return !Shown(TrendWindow()); })) << "closing did not hide it";
    PostMessageW(Panel().Panel(), WM_SYSCOMMAND, kTrendMenuCommand, 0);
    EXPECT_TRUE(WaitUntil([] { return Shown(TrendWindow()); }));
}

// The one-minute span is the one the screenshot shows; it follows the newest reading.
TEST_F(Trend, SpanButtonsPickOneSpan) {
    HWND trend = TrendWindow();
    ASSERT_TRUE(Shown(trend));
    HWND oneMinute = FindWindowExW(trend, nullptr, L"Button", L"1 min");
    HWND tenMinutes = FindWindowExW(trend, nullptr, L"Button", L"10 min");
    HWND newest = FindWindowExW(trend, nullptr, L"Button", L"Newest");
    ASSERT_TRUE(oneMinute && tenMinutes && newest);
    EXPECT_EQ(SendMessageW(tenMinutes, BM_GETCHECK, 0, 0), BST_CHECKED) << "the default span";
    SendMessageW(oneMinute, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(oneMinute, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(tenMinutes, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(IsWindowEnabled(newest)) << "following the newest reading";
}

TEST_F(Trend, PollsWithTheWindowOpen) {
    ASSERT_NO_FATAL_FAILURE(OpenPortAndWaitForReadings());
    EXPECT_TRUE(Shown(TrendWindow()));
}

}  // namespace
