#include "hosts/win32/command_line.h"

#include <windows.h>

#include <shellapi.h>

const wchar_t* const kUsageText =
    L"Usage: DriverPanel [--record FILE]\n\n"
    L"--record FILE  Record the readings to FILE (CSV, one row per poll) from the start.\n"
    L"--help         Show this text.";

ParsedCommandLine ParseCommandLine(const std::vector<std::wstring>& arguments) {
    static const std::wstring kRecord = L"--record";
    ParsedCommandLine parsed;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (argument == L"--help" || argument == L"-h" || argument == L"/?") {
            parsed.options.help = true;
        } else if (argument == kRecord) {
            if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
                parsed.problem = L"--record needs a file name.";
                return parsed;
            }
            parsed.options.recordPath = arguments[++i];
        } else if (argument.rfind(kRecord + L"=", 0) == 0) {
            parsed.options.recordPath = argument.substr(kRecord.size() + 1);
            if (parsed.options.recordPath.empty()) {
                parsed.problem = L"--record needs a file name.";
                return parsed;
            }
        } else {
            parsed.problem = L"Unknown argument '" + argument + L"'.";
            return parsed;
        }
    }
    return parsed;
}

std::vector<std::wstring> ProgramArguments() {
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> arguments;
    for (int i = 1; words != nullptr && i < count; ++i) {
        arguments.emplace_back(words[i]);
    }
    LocalFree(words);
    return arguments;
}
