// The Windows program's command line: --record takes any name whole, and a misspelt option is
// refused rather than ignored. (The recording file itself is tested end to end, e2e/.)
#include <gtest/gtest.h>
#include <windows.h>

#include "hosts/win32/command_line.h"
#include "hosts/win32/trend_host.h"

namespace {

TEST(CommandLine, RecordHelpAndWhatItRejects) {
    struct Case {
        std::vector<std::wstring> arguments;
        std::wstring record;
        bool help;
        bool rejected;
    };
    const Case cases[] = {
        {{}, L"", false, false},
        {{L"--record", L"C:\\Messungen\\温度 µW.csv"}, L"C:\\Messungen\\温度 µW.csv", false, false},
        {{L"--record=a b.csv"}, L"a b.csv", false, false},
        {{L"/?"}, L"", true, false},
        {{L"--record"}, L"", false, true},
        {{L"--record="}, L"", false, true},
        {{L"--recrod", L"x.csv"}, L"", false, true},
        {{L"x.csv"}, L"", false, true},
    };
    for (const Case& c : cases) {
        const ParsedCommandLine parsed = ParseCommandLine(c.arguments);
        SCOPED_TRACE(c.arguments.empty() ? "(none)" : ToUtf8(c.arguments[0]));
        EXPECT_EQ(parsed.options.recordPath, c.record);
        EXPECT_EQ(parsed.options.help, c.help);
        EXPECT_EQ(!parsed.problem.empty(), c.rejected);
    }
}

}  // namespace
