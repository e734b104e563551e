// Writing the line log.
#include "tools/simulator/log_file.h"

#include <cerrno>
#include <system_error>

namespace simulator {

LogFile::LogFile(const std::string& path, bool includeSent)
    : file_(std::fopen(path.c_str(), "w")), includeSent_(includeSent) {
    if (!file_) {
        throw std::system_error(errno, std::generic_category(), "open log " + path);
    }
}

void LogFile::Write(const LineEvent& event) {
    if (event.direction == LineEvent::Direction::Sent && !includeSent_) {
        return;
    }
    const std::string line = FormatLineEvent(event) + "\n";
    std::fputs(line.c_str(), file_.get());
    std::fflush(file_.get());
}

}  // namespace simulator
