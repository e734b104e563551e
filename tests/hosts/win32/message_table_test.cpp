// Message table lookup: messages by number, commands by control id and notification code.
#include "hosts/win32/message_table.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Recorder {
  public:
    HandlerResult Paint(WPARAM, LPARAM) { return Record("paint", std::nullopt); }
    HandlerResult Timer(WPARAM id, LPARAM) { return Record("timer " + std::to_string(id), 0); }
    HandlerResult OpenClicked(WPARAM, LPARAM) { return Record("open", 0); }
    HandlerResult SetClicked(WPARAM, LPARAM) { return Record("set", 7); }
    HandlerResult SecondTimer(WPARAM, LPARAM) { return Record("second timer", 0); }

    std::string calls;

  private:
    HandlerResult Record(const std::string& call, HandlerResult result) {
        calls += calls.empty() ? call : " " + call;
        return result;
    }
};

constexpr int kOpenId = 1000;
constexpr int kSetId = 1001;

const MessageEntry<Recorder> kTable[] = {
    OnMessage(WM_PAINT, &Recorder::Paint),
    OnCommand(kOpenId, BN_CLICKED, &Recorder::OpenClicked),
    OnMessage(WM_TIMER, &Recorder::Timer),
    OnCommand(kSetId, BN_CLICKED, &Recorder::SetClicked),
    OnMessage(WM_TIMER, &Recorder::SecondTimer),  // never reached: the first entry wins
};

struct Routed {
    UINT message;
    WPARAM wParam;
    const char* calls;
    HandlerResult result;
};

class MessageTable : public ::testing::TestWithParam<Routed> {};

TEST_P(MessageTable, RunsTheFirstMatchingEntry) {
    const Routed& expected = GetParam();
    Recorder recorder;
    HandlerResult result =
        DispatchMessageTable<Recorder>(recorder, kTable, expected.message, expected.wParam, 0);
    EXPECT_EQ(recorder.calls, expected.calls);
    EXPECT_EQ(result, expected.result);
}

INSTANTIATE_TEST_SUITE_P(
    Routes, MessageTable,
    ::testing::Values(
        Routed{WM_PAINT, 0, "paint", std::nullopt},  // handled, yet left to default painting
        Routed{WM_TIMER, 4, "timer 4", 0},
        Routed{WM_COMMAND, MAKEWPARAM(kOpenId, BN_CLICKED), "open", 0},
        Routed{WM_COMMAND, MAKEWPARAM(kSetId, BN_CLICKED), "set", 7},
        // Another notification of a bound control, or a click of an unbound one: nothing.
        Routed{WM_COMMAND, MAKEWPARAM(kOpenId, BN_SETFOCUS), "", std::nullopt},
        Routed{WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), "", std::nullopt},
        Routed{WM_CLOSE, 0, "", std::nullopt}));

}  // namespace
