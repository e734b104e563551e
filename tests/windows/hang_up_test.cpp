// The far end of an open port goes away (an adapter pulled, the other side of a pty closed): the
// operator is told once, the worker then waits quietly for the stop, and the stop still works.
#include <gtest/gtest.h>

#include <string>

#include "serial/line_settings.h"
#include "serial/win32/comm_port.h"
#include "tests/windows/test_support/box_watcher.h"
#include "tests/windows/test_support/owner_window.h"
#include "tests/windows/test_support/test_ports.h"

namespace {

constexpr DWORD kHangUpTimeoutMs = 30000;
// Long enough for a worker that kept failing to show a second box or burn a core.
constexpr DWORD kQuietWindowMs = 2000;
// CPU time the whole process may use in that window: far below one busy core.
constexpr ULONGLONG kQuietCpuBudgetMs = 400;

ULONGLONG ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ms = [](const FILETIME& t) {
        return ((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000;
    };
    return ms(kernel) + ms(user);
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

TEST(PortHangUp, OneBoxThenQuietUntilTheStop) {
    const auto link = HangUpLinkFromEnvironment();
    if (!link) {
        GTEST_SKIP() << "no hang-up link (run through scripts/test-windows.sh)";
    }
    OwnerWindow owner;
    BoxWatcher boxes;
    CCommPort port;
    port.SetOwner(owner.Handle());
    ASSERT_TRUE(
        port.Setup(static_cast<int>(link->port),
                   LineSettings{9600, 'N', 8, 0, kEvRxChar, 512, 1000, 1000, 1000, 1000, 1000})
            .Opened());
    ASSERT_TRUE(port.StartWorker());
    const BYTE frame[] = {0xEF, 0xEF, 0x02, 0x0B, 0xEB};
    port.QueueWrite(frame, sizeof frame);
    PumpMessagesUntil([] { return false; }, 200);
    EXPECT_TRUE(boxes.Texts().empty()) << "a working port raised a box";

    ASSERT_TRUE(CreateTrigger(link->trigger));
    ASSERT_TRUE(boxes.WaitForClosedBoxes(1, kHangUpTimeoutMs));

    // Frames keep coming from the panel's timers while nobody has noticed the loss.
    const ULONGLONG cpuBefore = ProcessCpuMs();
    for (int i = 0; i < 5; ++i) {
        port.QueueWrite(frame, sizeof frame);
    }
    PumpMessagesUntil([] { return false; }, kQuietWindowMs);
    const ULONGLONG cpuUsed = ProcessCpuMs() - cpuBefore;

    EXPECT_EQ(boxes.Texts().size(), 1u);
    EXPECT_LT(cpuUsed, kQuietCpuBudgetMs);
    const std::string text = boxes.Texts()[0];
    EXPECT_EQ(text.rfind("WARNING:  ", 0), 0u) << text;
    const std::string portLine = "\nPort: " + std::to_string(link->port) + "\n";
    EXPECT_EQ(text.substr(text.size() - portLine.size()), portLine) << text;

    port.Shutdown();
    EXPECT_EQ(boxes.Texts().size(), 1u);
}

}  // namespace
