// The Windows program's command line and its recording file, on the real file system: names
// outside the ANSI code page reach the file whole, and a file that cannot be created says why.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "panel/win32/command_line.h"
#include "panel/win32/trend_host.h"

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

std::wstring TempFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return folder;
}

TEST(RecordFile, NameOutsideTheCodePageGetsEveryRowWritten) {
    const std::wstring path = TempFolder() + L"Messwerte 温度 \u00b5W.csv";
    {
        Win32FileSink sink;
        ASSERT_TRUE(sink.Open(path)) << sink.Error();
        EXPECT_TRUE(sink.Write("time,port\n"));
        EXPECT_TRUE(sink.Write("2026-12-09T14:03:27.500Z,COM5\n"));
        // Handed to the system already: another reader sees the rows while the file is open.
        std::ifstream reader(std::filesystem::path(path), std::ios::binary);
        std::stringstream read;
        read << reader.rdbuf();
        EXPECT_EQ(read.str(), "time,port\n2026-12-09T14:03:27.500Z,COM5\n");
    }
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST(RecordFile, MissingFolderIsToldWithTheSystemsReason) {
    Win32FileSink sink;
    EXPECT_FALSE(sink.Open(TempFolder() + L"no such folder\\readings.csv"));
    EXPECT_EQ(sink.Error(), SystemErrorText(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(sink.Error().empty());
    EXPECT_NE(sink.Error().back(), '.') << "the message adds its own period";
    EXPECT_FALSE(sink.Write("row\n"));
}

}  // namespace
