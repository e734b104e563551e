// Reading lines in three formats; JSON through nlohmann-json, numbers as JSON numbers.
#include "hosts/console/reading_output.h"

#include <time.h>

#include <charconv>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "panel/number_text.h"

namespace {

constexpr const char* kCsvHeader = "time,temperature_c,power_mw,setpoint_ma,variant";

template <typename Value>
bool ReadWhole(const std::string& text, Value& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The panel's number texts as JSON numbers, whole ones as integers ("123" stays 123, not
// 123.0). A reader parses these fields as numbers, so a text that is none becomes null, never a
// string.
nlohmann::ordered_json Number(const std::string& text) {
    if (long long whole = 0; ReadWhole(text, whole)) {
        return whole;
    }
    if (double value = 0; ReadWhole(text, value)) {
        return value;
    }
    return nullptr;
}

}  // namespace

// The same numbers through the same formats as the panel's reply effects: one decimal, and the
// power under variant B as the whole milliwatts its word counts.
std::string ShownTemperature(const PanelTemperature& temperature) {
    return FormatOneDecimal(temperature.celsius);
}

std::string ShownPower(const PanelPower& power) {
    return power.variant == 'B' ? FormatInteger(power.raw) : FormatOneDecimal(power.milliwatts);
}

std::string IsoLocalTime(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto sinceEpoch = duration_cast<milliseconds>(time.time_since_epoch());
    const time_t seconds = static_cast<time_t>(floor<std::chrono::seconds>(sinceEpoch).count());
    const auto millis =
        static_cast<int>((sinceEpoch - floor<std::chrono::seconds>(sinceEpoch)).count());
    tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
    // Windows' strftime writes the zone's name for %z: the offset is the local time read as
    // UTC, less the time itself.
    tm asUtc = local;
    const long offset = static_cast<long>(_mkgmtime(&asUtc) - seconds);
#else
    localtime_r(&seconds, &local);
    const long offset = local.tm_gmtoff;
#endif
    char date[32];
    strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    const long offsetMinutes = (offset < 0 ? -offset : offset) / 60;
    char text[64];
    std::snprintf(text, sizeof text, "%s.%03d%c%02ld:%02ld", date, millis, offset < 0 ? '-' : '+',
                  offsetMinutes / 60, offsetMinutes % 60);
    return text;
}

ReadingOutput::ReadingOutput(std::ostream& out, ReadingFormat format)
    : out_(out), format_(format) {}

bool ReadingOutput::Begin() {
    return format_ != ReadingFormat::kCsv || Emit(kCsvHeader);
}

bool ReadingOutput::Write(const Reading& r) {
    const std::string time = IsoLocalTime(r.time);
    switch (format_) {
        case ReadingFormat::kText:
            return Emit(time + "  " + r.temperatureC + " °C  " + r.powerMw + " mW  " +
                        r.setpointMa + " mA  " + r.variant);
        case ReadingFormat::kCsv:
            return Emit(time + "," + r.temperatureC + "," + r.powerMw + "," + r.setpointMa + "," +
                        r.variant);
        case ReadingFormat::kJson:
            break;
    }
    nlohmann::ordered_json line;
    line["time"] = time;
    line["temperature_c"] = Number(r.temperatureC);
    line["power_mw"] = Number(r.powerMw);
    line["setpoint_ma"] = Number(r.setpointMa);
    line["variant"] = std::string(1, r.variant);
    return Emit(line.dump());
}

// The whole line in one piece, then flushed, so a reader of a pipe sees it at once and never
// half of it.
bool ReadingOutput::Emit(const std::string& line) {
    out_ << line + "\n" << std::flush;
    return static_cast<bool>(out_);
}
