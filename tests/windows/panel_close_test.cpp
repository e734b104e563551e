// The panel program itself, started by the test on a COM port whose far end hangs up: closing the
// panel while the port worker's "Application Error" box is up ends the program promptly.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "panel/panel_texts.h"
#include "resources/panel_template.h"
#include "resources/resource.h"
#include "serial/port_error.h"
#include "tests/windows/e2e/panel_remote.h"
#include "tests/windows/test_support/test_ports.h"

namespace {

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kHangUpTimeoutMs = 30000;
// What "promptly" allows: far more than a stop takes, far less than an operator waits.
constexpr DWORD kExitTimeoutMs = 5000;
constexpr char kDialogClass[] = "#32770";  // the message box's window class

// The panel program built beside this test, through Wine's drive for the Unix root.
std::string PanelProgram() {
    std::string path = "Z:" DRIVERPANEL_EXE;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

// A top-level window of the process with this class (null: any) and title; null when none.
HWND WindowOf(DWORD processId, const char* className, const char* title) {
    for (HWND window = FindWindowExA(nullptr, nullptr, className, title); window != nullptr;
         window = FindWindowExA(nullptr, window, className, title)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) {
            return window;
        }
    }
    return nullptr;
}

bool CreateTrigger(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

// The started program; ended by force if a test leaves it running.
class PanelProcess {
  public:
    PanelProcess() {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        std::string commandLine = "\"" + PanelProgram() + "\"";
        if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &info_)) {
            CloseHandle(info_.hThread);
        } else {
            info_.hProcess = nullptr;
        }
    }
    ~PanelProcess() {
        if (info_.hProcess != nullptr) {
            if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(info_.hProcess, 1);
                WaitForSingleObject(info_.hProcess, kExitTimeoutMs);
            }
            CloseHandle(info_.hProcess);
        }
    }
    PanelProcess(const PanelProcess&) = delete;
    PanelProcess& operator=(const PanelProcess&) = delete;

    HANDLE Handle() const { return info_.hProcess; }
    DWORD Id() const { return info_.dwProcessId; }
    bool WaitForExit(DWORD timeoutMs) const {
        return WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0;
    }

  private:
    PROCESS_INFORMATION info_{};
};

TEST(PanelClose, EndsTheProgramWhileThePortErrorBoxIsUp) {
    const auto link = PanelHangUpLinkFromEnvironment();
    if (!link) {
        GTEST_SKIP() << "no hang-up link for the panel (run through scripts/test-windows.sh)";
    }
    PanelProcess process;
    ASSERT_NE(process.Handle(), nullptr) << PanelProgram() << " error " << GetLastError();
    HWND panelWindow = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] { return (panelWindow = WindowOf(process.Id(), nullptr, PANEL_CAPTION)) != nullptr; },
        kStartTimeoutMs));
    PanelRemote panel(panelWindow);

    // The window is found as soon as it exists, which may be before the panel has listed the
    // ports.
    const std::string portText = "COM" + std::to_string(link->port);
    int index = -1;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::vector<std::string> items = panel.PortListItems();
            const auto item = std::find(items.begin(), items.end(), portText);
            index = item == items.end() ? -1 : static_cast<int>(item - items.begin());
            return index >= 0;
        },
        kStartTimeoutMs))
        << portText << " is not listed";
    panel.SelectPortItem(index);
    panel.Click(IDC_OPEN_PORT);
    ASSERT_TRUE(
        WaitUntil([&] { return panel.Text(IDC_OPEN_PORT) == kClosePortText; }, kStartTimeoutMs));

    ASSERT_TRUE(CreateTrigger(link->trigger));
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            return (box = WindowOf(process.Id(), kDialogClass, kApplicationErrorTitle)) != nullptr;
        },
        kHangUpTimeoutMs));

    panel.Close();
    const bool ended = process.WaitForExit(kExitTimeoutMs);
    EXPECT_TRUE(ended) << "the program outlived its panel while the box was up";
    if (!ended) {
        // What the operator had to do before: dismiss the box.
        PanelRemote::PressOk(box);
        process.WaitForExit(kExitTimeoutMs);
        return;
    }
    DWORD exitCode = 1;
    GetExitCodeProcess(process.Handle(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
