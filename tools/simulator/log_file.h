// The line log as a file: one line per event, flushed at once, so that a test or a person
// reading it while the simulator runs sees every frame as soon as it has been handled.
#ifndef DRIVERPANEL_TOOLS_SIMULATOR_LOG_FILE_H
#define DRIVERPANEL_TOOLS_SIMULATOR_LOG_FILE_H

#include <cstdio>
#include <memory>
#include <string>

#include "tools/simulator/line_event.h"

namespace simulator {

class LogFile {
  public:
    // Truncates or creates the file. Throws std::system_error when it cannot be opened.
    LogFile(const std::string& path, bool includeSent);

    void Write(const LineEvent& event);

  private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    bool includeSent_;
};

}  // namespace simulator

#endif
