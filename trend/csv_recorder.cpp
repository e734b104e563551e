#include "trend/csv_recorder.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;

// Days since 1970-01-01 to a proleptic Gregorian date (H. Hinnant's civil_from_days).
void CivilFromDays(std::int64_t days, int& year, unsigned& month, unsigned& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int>(static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2));
}

// A reading in its unit from whole units of 10^-decimals, without going through a double.
std::string FixedPoint(unsigned raw, int decimals) {
    std::string digits = std::to_string(raw);
    if (decimals == 0) {
        return digits;
    }
    const auto point = static_cast<std::size_t>(decimals);
    if (digits.size() <= point) {
        digits.insert(0, point + 1 - digits.size(), '0');
    }
    digits.insert(digits.size() - point, ".");
    return digits;
}

}  // namespace

const char* const kCsvHeader = "time,port,setpoint_mA,temperature_C,power_mW\n";

std::string FormatUtcIso(std::int64_t utcMs) {
    std::int64_t days = utcMs / kDayMs;
    std::int64_t ofDay = utcMs % kDayMs;
    if (ofDay < 0) {
        ofDay += kDayMs;
        --days;
    }
    int year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(days, year, month, day);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", year, month, day,
                  static_cast<int>(ofDay / 3600000), static_cast<int>(ofDay / 60000 % 60),
                  static_cast<int>(ofDay / 1000 % 60), static_cast<int>(ofDay % 1000));
    return text;
}

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

FileRecordSink::~FileRecordSink() {
    Close();
}

bool FileRecordSink::Open(const std::string& path) {
    Close();
    path_ = path;
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        error_ = std::strerror(errno);
        return false;
    }
    error_.clear();
    return true;
}

// fflush reports what a full disk or a vanished device did to the buffered row.
bool FileRecordSink::Write(std::string_view line) {
    if (file_ == nullptr) {
        error_ = "the file is not open";
        return false;
    }
    errno = 0;
    const bool written = std::fwrite(line.data(), 1, line.size(), file_) == line.size();
    if (!written || std::fflush(file_) != 0) {
        error_ = errno != 0 ? std::strerror(errno) : "the file could not be written";
        return false;
    }
    return true;
}

void FileRecordSink::Close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

CsvRecorder::CsvRecorder(WallClock& clock, RecordSink& sink, std::string fileName,
                         std::function<void(const std::string&)> onFailure)
    : clock_(clock),
      sink_(sink),
      fileName_(std::move(fileName)),
      onFailure_(std::move(onFailure)) {}

bool CsvRecorder::Start(std::optional<std::int32_t> confirmedSetpoint) {
    if (confirmedSetpoint) {
        setpoint_ = confirmedSetpoint;
    }
    recording_ = true;
    Write(kCsvHeader);
    return recording_;
}

void CsvRecorder::Stop() {
    WriteRow();
    recording_ = false;
}

void CsvRecorder::Write(const std::string& line) {
    if (!recording_) {
        return;
    }
    if (!sink_.Write(line)) {
        recording_ = false;
        row_.reset();
        if (onFailure_) {
            onFailure_("Recording to " + fileName_ + " stopped: " + sink_.Error() + ".");
        }
    }
}

void CsvRecorder::WriteRow() {
    if (!row_) {
        return;
    }
    const Row row = std::move(*row_);
    row_.reset();
    std::string line = FormatUtcIso(row.utcMs) + "," + CsvField(row.port) + ",";
    if (row.setpoint) {
        line += std::to_string(*row.setpoint);
    }
    line += "," + row.temperature.value_or("") + "," + row.power.value_or("") + "\n";
    Write(line);
    if (recording_) {
        ++rows_;
    }
}

void CsvRecorder::OnConfiguration(const PanelConfiguration& event) {
    setpoint_ = event.activeSetpoint;
}

void CsvRecorder::OnSetpointsConfirmed(const PanelSetpoints& event) {
    setpoint_ = event.activeSetpoint;
}

void CsvRecorder::OnTemperature(const PanelTemperature& event) {
    if (row_) {
        row_->temperature = FixedPoint(event.raw, 2);
    }
}

// The power reply is the poll's last: the row is complete.
void CsvRecorder::OnPower(const PanelPower& event) {
    if (row_) {
        row_->power = FixedPoint(event.raw, event.variant == 'B' ? 0 : 1);
        WriteRow();
    }
}

// The setpoint goes in as confirmed when the poll is sent; one confirmed while the poll's
// replies come in is the next row's.
void CsvRecorder::OnPollSent(const PanelPoll& event) {
    WriteRow();
    if (!recording_) {
        return;
    }
    Row row;
    row.utcMs = clock_.UtcMs();
    row.port = event.port.name.empty() ? std::to_string(event.port.number) : event.port.name;
    row.setpoint = setpoint_;
    row_ = std::move(row);
}

void CsvRecorder::OnPortClosed(const PanelPortClosed&) {
    WriteRow();
    setpoint_.reset();
}

void CsvRecorder::OnPortLost(const PanelPortLost&) {
    WriteRow();
    setpoint_.reset();
}
