// The lines `ldctl watch` prints, one per complete reading, as text, CSV or JSON Lines. Values
// are the panel's own texts (its number formats); each line is written whole and flushed.
#ifndef DRIVERPANEL_HOSTS_CONSOLE_READING_OUTPUT_H
#define DRIVERPANEL_HOSTS_CONSOLE_READING_OUTPUT_H

#include <chrono>
#include <ostream>
#include <string>

#include "panel/panel_events.h"

struct Reading {
    std::chrono::system_clock::time_point time;
    std::string temperatureC;  // as the panel shows it: "25.3"
    std::string powerMw;       // "12.3" under variant A, "123" under variant B
    std::string setpointMa;    // the confirmed active setpoint: "100"
    char variant;              // 'A' or 'B'
};

// A reading's text as the panel's window shows it.
std::string ShownTemperature(const PanelTemperature& temperature);
std::string ShownPower(const PanelPower& power);

enum class ReadingFormat { kText, kCsv, kJson };

// ISO 8601 local time with milliseconds and the local offset: 2026-12-08T09:50:01.123+01:00.
std::string IsoLocalTime(std::chrono::system_clock::time_point time);

class ReadingOutput {
  public:
    ReadingOutput(std::ostream& out, ReadingFormat format);

    // The CSV header; nothing for the other formats. False when the output failed.
    bool Begin();
    // One line, flushed. False when the output failed (a reader that went away).
    bool Write(const Reading& reading);

  private:
    bool Emit(const std::string& line);

    std::ostream& out_;
    ReadingFormat format_;
};

#endif
