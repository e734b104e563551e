// Recording to a CSV file: one row per completed poll, as a listener of the panel.
//
//   time,port,setpoint_mA,temperature_C,power_mW
//   2026-12-09T14:03:27.500Z,ttyUSB0,250,25.31,12.4
//
// time: when the poll's queries were sent, ISO 8601 UTC with milliseconds. port: the port's
// name as the panel lists it. setpoint_mA: the setpoint the module last confirmed (its
// configuration or setpoints reply) since the port was opened. temperature_C and power_mW: the
// replies to this poll, in the module's own resolution (0.01 degC; 0.1 mW under variant A,
// 1 mW under variant B). A poll the module did not answer leaves its field empty: a value from
// an earlier poll is never written again as if it were new.
//
// A poll is complete when its power reply (asked last) arrives, or else when the next poll is
// sent or the port closes. Each row is handed to the sink whole and flushed, so a crash or a
// pulled plug loses at most the row in progress. When the sink fails, recording stops, the
// failure is reported once with its reason, and the panel goes on driving the module.
#ifndef DRIVERPANEL_TREND_CSV_RECORDER_H
#define DRIVERPANEL_TREND_CSV_RECORDER_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "panel/panel_events.h"
#include "trend/wall_clock.h"

// Where the rows go. Write gets one whole line with its line end and returns only when it is
// handed to the system (flushed); false when it could not be, with the reason in Error(). Close
// lets go of the file when the recording stops, so it can be recorded to again at once; closing
// a closed sink does nothing. Each platform's sink opens its own way before it is handed over.
class RecordSink {
  public:
    virtual ~RecordSink() = default;
    virtual bool Write(std::string_view line) = 0;
    virtual std::string Error() const = 0;
    virtual void Close() = 0;
};

// A file by the C library: a UTF-8 path on Linux; on Windows, a path in the ANSI code page
// (a Windows host that offers other names gives its own sink on _wfopen).
class FileRecordSink : public RecordSink {
  public:
    FileRecordSink() = default;
    ~FileRecordSink() override;
    FileRecordSink(const FileRecordSink&) = delete;
    FileRecordSink& operator=(const FileRecordSink&) = delete;

    // Creates or empties the file; false with the reason in Error() when it cannot.
    bool Open(const std::string& path);
    bool Write(std::string_view line) override;
    std::string Error() const override { return error_; }
    void Close() override;

  private:
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string error_;
};

// "2026-12-09T14:03:27.500Z"
std::string FormatUtcIso(std::int64_t utcMs);

// The header line, and one field as CSV writes it (quoted when it holds a comma, a quote or a
// line end).
extern const char* const kCsvHeader;
std::string CsvField(std::string_view text);

class CsvRecorder : public PanelListener {
  public:
    // onFailure gets one message ("Recording to ... stopped: No space left on device").
    CsvRecorder(WallClock& clock, RecordSink& sink, std::string fileName,
                std::function<void(const std::string&)> onFailure);

    // Writes the header; false (and the failure reported) when it cannot. confirmedSetpoint is
    // what the module confirmed before the recorder listened, when the port is open: the rows
    // carry it until the module confirms another.
    bool Start(std::optional<std::int32_t> confirmedSetpoint = std::nullopt);
    // Writes the poll in progress, if any; nothing more is written.
    void Stop();
    bool Recording() const { return recording_; }
    long long RowsWritten() const { return rows_; }

    void OnConfiguration(const PanelConfiguration& event) override;
    void OnSetpointsConfirmed(const PanelSetpoints& event) override;
    void OnTemperature(const PanelTemperature& event) override;
    void OnPower(const PanelPower& event) override;
    void OnPollSent(const PanelPoll& event) override;
    void OnPortClosed(const PanelPortClosed& event) override;
    void OnPortLost(const PanelPortLost& event) override;

  private:
    struct Row {
        std::int64_t utcMs = 0;
        std::string port;
        std::optional<std::int32_t> setpoint;
        std::optional<std::string> temperature;
        std::optional<std::string> power;
    };
    void WriteRow();
    void Write(const std::string& line);

    WallClock& clock_;
    RecordSink& sink_;
    std::string fileName_;
    std::function<void(const std::string&)> onFailure_;
    bool recording_ = false;
    long long rows_ = 0;
    std::optional<std::int32_t> setpoint_;  // confirmed since the port opened
    std::optional<Row> row_;                // the poll in progress
};

#endif
