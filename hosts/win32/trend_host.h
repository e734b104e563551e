// The readings kept for the trend window and the recording, beside the Windows panel: one
// listener of the panel's logic that feeds both, the trend window (built when first asked for),
// its keyboard shortcut and its item in the panel's system menu.
#ifndef DRIVERPANEL_HOSTS_WIN32_TREND_HOST_H
#define DRIVERPANEL_HOSTS_WIN32_TREND_HOST_H

#include <windows.h>

#include <memory>
#include <string>

#include "panel/ui_timers.h"
#include "trend/csv_recorder.h"
#include "trend/trend_data.h"
#include "trend/trend_feed.h"
#include "trend/trend_recording.h"
#include "trend/wall_clock.h"

class PanelLogic;
class CTrendWindow;

class Win32WallClock : public WallClock {
  public:
    std::int64_t UtcMs() override;
    int LocalOffsetMinutes(std::int64_t utcMs) override;
};

// A file created with a UTF-16 name, so any name the file dialog or the command line gives can
// be recorded to. Each row goes to the system with its own write: nothing waits in the program.
class Win32FileSink : public RecordSink {
  public:
    Win32FileSink() = default;
    ~Win32FileSink() override;
    Win32FileSink(const Win32FileSink&) = delete;
    Win32FileSink& operator=(const Win32FileSink&) = delete;

    // Creates or empties the file, which others may read meanwhile; false with the system's
    // reason in Error() when it cannot.
    bool Open(const std::wstring& path);
    bool Write(std::string_view line) override;
    std::string Error() const override { return error_; }
    void Close() override;

  private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    std::string error_;  // UTF-8
};

// The system's text for an error code, in UTF-8, without its final period and line end.
std::string SystemErrorText(DWORD error);
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

class Win32TrendHost {
  public:
    // Listens to `logic` until destroyed; `clock` is the panel's monotonic clock.
    Win32TrendHost(PanelLogic& logic, UiTimers& clock);
    ~Win32TrendHost();
    Win32TrendHost(const Win32TrendHost&) = delete;
    Win32TrendHost& operator=(const Win32TrendHost&) = delete;

    // The panel exists: adds "Readings over time…" to its system menu; the trend window will be
    // owned by it.
    void Attach(HWND panel);
    // Ctrl+T in the panel: shows the trend window. True when the message was that key.
    bool PreTranslate(const MSG& message);
    // A message of the program's loop for another window: the trend window's keyboard navigation.
    bool PreTranslateOther(MSG& message);
    // The panel's WM_SYSCOMMAND: true when it was the trend window's item.
    bool OnSysCommand(WPARAM command);

    // Shows the trend window, restored and active.
    void ShowWindow();
    HWND WindowHandle() const;  // null until first shown

    // Records to `path` from the next poll on, replacing a recording in progress. False when
    // the file cannot be created; the reason is reported as a failure is.
    bool StartRecording(const std::wstring& path);
    void StopRecording();
    bool Recording() const { return recording_.Recording(); }
    const std::wstring& RecordingPath() const { return recordingPath_; }
    const std::wstring& LastProblem() const { return lastProblem_; }

    TrendData& Data() { return data_; }
    UiTimers& Clock() { return clock_; }
    WallClock& Wall() { return wall_; }

  private:
    // Told on standard error and in a box on a thread of its own, so the panel goes on polling
    // and nothing re-enters the core from inside its listener call.
    void ReportProblem(const std::wstring& text);

    PanelLogic& logic_;
    UiTimers& clock_;
    Win32WallClock wall_;
    TrendData data_;
    TrendFeed feed_{data_};
    TrendRecording recording_;
    HWND panel_ = nullptr;
    std::wstring recordingPath_;
    std::wstring lastProblem_;
    std::unique_ptr<CTrendWindow> window_;
};

#endif
