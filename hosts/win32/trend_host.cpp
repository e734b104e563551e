#include "hosts/win32/trend_host.h"

#include <cstdio>
#include <utility>

#include "hosts/win32/trend_window.h"
#include "panel/panel_logic.h"

namespace {

// The system menu's own commands use the upper values and the lowest four bits of each.
constexpr UINT kTrendMenuCommand = 0x0010;
constexpr wchar_t kTrendMenuText[] = L"Readings over time\u2026";
constexpr wchar_t kProblemTitle[] = L"Recording";

// FILETIME counts 100 ns from 1601-01-01; the core counts milliseconds from 1970-01-01.
constexpr std::int64_t kFileTimeTicksPerMs = 10000;
constexpr std::int64_t kMsFrom1601To1970 = 11644473600000LL;

std::int64_t FileTimeMs(const FILETIME& time) {
    ULARGE_INTEGER ticks;
    ticks.LowPart = time.dwLowDateTime;
    ticks.HighPart = time.dwHighDateTime;
    return static_cast<std::int64_t>(ticks.QuadPart / kFileTimeTicksPerMs);
}

FILETIME MsFileTime(std::int64_t ms) {
    ULARGE_INTEGER ticks;
    ticks.QuadPart = static_cast<ULONGLONG>(ms) * kFileTimeTicksPerMs;
    return FILETIME{ticks.LowPart, ticks.HighPart};
}

DWORD WINAPI ShowProblemBox(LPVOID parameter) {
    const std::unique_ptr<std::wstring> text(static_cast<std::wstring*>(parameter));
    MessageBoxW(nullptr, text->c_str(), kProblemTitle, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    return 0;
}

}  // namespace

std::string ToUtf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

std::wstring FromUtf8(const std::string& text) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string SystemErrorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length > 0 ? std::wstring(buffer, length) : std::wstring();
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                             text.back() == L'.')) {
        text.pop_back();
    }
    if (text.empty()) {
        return "system error " + std::to_string(error);
    }
    return ToUtf8(text);
}

std::int64_t Win32WallClock::UtcMs() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return FileTimeMs(now) - kMsFrom1601To1970;
}

// The zone's rules at that moment, summer time included.
int Win32WallClock::LocalOffsetMinutes(std::int64_t utcMs) {
    const FILETIME utcFile = MsFileTime(utcMs + kMsFrom1601To1970);
    SYSTEMTIME utc;
    SYSTEMTIME local;
    FILETIME localFile;
    if (!FileTimeToSystemTime(&utcFile, &utc) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) ||
        !SystemTimeToFileTime(&local, &localFile)) {
        return 0;
    }
    return static_cast<int>((FileTimeMs(localFile) - FileTimeMs(utcFile)) / 60000);
}

Win32FileSink::~Win32FileSink() {
    Close();
}

bool Win32FileSink::Open(const std::wstring& path) {
    Close();
    file_ = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) {
        error_ = SystemErrorText(GetLastError());
        return false;
    }
    error_.clear();
    return true;
}

// WriteFile hands the whole row to the system, as fflush does on Linux: a crash of the program
// loses nothing written; what a full disk or a vanished share did is told here.
bool Win32FileSink::Write(std::string_view line) {
    if (file_ == INVALID_HANDLE_VALUE) {
        error_ = "the file is not open";
        return false;
    }
    DWORD written = 0;
    if (!WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
        error_ = SystemErrorText(GetLastError());
        return false;
    }
    if (written != line.size()) {
        error_ = SystemErrorText(ERROR_DISK_FULL);
        return false;
    }
    return true;
}

void Win32FileSink::Close() {
    if (file_ != INVALID_HANDLE_VALUE) {
        CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
    }
}

Win32TrendHost::Win32TrendHost(PanelLogic& logic, UiTimers& clock)
    : logic_(logic),
      clock_(clock),
      data_(clock_),
      recording_(feed_, wall_,
                 [this](const std::string& message) { ReportProblem(FromUtf8(message)); }) {
    logic_.AddListener(feed_);
}

Win32TrendHost::~Win32TrendHost() {
    window_.reset();  // it draws from this host
    logic_.RemoveListener(feed_);
}

void Win32TrendHost::Attach(HWND panel) {
    panel_ = panel;
    HMENU menu = GetSystemMenu(panel, FALSE);
    if (menu != nullptr) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, kTrendMenuCommand, kTrendMenuText);
    }
}

bool Win32TrendHost::PreTranslate(const MSG& message) {
    // Ctrl+T, not Ctrl+Alt+T (AltGr on many keyboards).
    if (message.message == WM_KEYDOWN && message.wParam == 'T' && GetKeyState(VK_CONTROL) < 0 &&
        GetKeyState(VK_MENU) >= 0) {
        ShowWindow();
        return true;
    }
    return false;
}

bool Win32TrendHost::PreTranslateOther(MSG& message) {
    return window_ && window_->PreTranslate(message);
}

bool Win32TrendHost::OnSysCommand(WPARAM command) {
    if ((command & 0xFFF0) != kTrendMenuCommand) {
        return false;
    }
    ShowWindow();
    return true;
}

void Win32TrendHost::ShowWindow() {
    if (!window_) {
        window_ = std::make_unique<CTrendWindow>(*this, panel_);
    }
    window_->Show();
}

HWND Win32TrendHost::WindowHandle() const {
    return window_ ? window_->Handle() : nullptr;
}

// The recording in progress ends and its file is closed before the new one is opened: the file
// is shared for reading only, so recording again to it would otherwise be refused.
bool Win32TrendHost::StartRecording(const std::wstring& path) {
    StopRecording();
    auto sink = std::make_unique<Win32FileSink>();
    if (!sink->Open(path)) {
        ReportProblem(L"Cannot record to " + path + L": " + FromUtf8(sink->Error()) + L".");
        return false;
    }
    recordingPath_ = path;
    lastProblem_.clear();
    recording_.Start(std::move(sink), ToUtf8(path));
    if (window_) {
        window_->Refresh();
    }
    return Recording();
}

void Win32TrendHost::StopRecording() {
    recording_.Stop();
    if (window_) {
        window_->Refresh();
    }
}

void Win32TrendHost::ReportProblem(const std::wstring& text) {
    lastProblem_ = text;
    std::fprintf(stderr, "DriverPanel: %s\n", ToUtf8(text).c_str());
    std::fflush(stderr);
    auto* boxText = new std::wstring(text);
    HANDLE thread = CreateThread(nullptr, 0, &ShowProblemBox, boxText, 0, nullptr);
    if (thread != nullptr) {
        CloseHandle(thread);
    } else {
        delete boxText;
    }
    if (window_) {
        window_->Refresh();
    }
}
