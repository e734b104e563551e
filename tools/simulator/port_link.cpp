// Placing and removing the simulator's link among the panel's virtual ports.
#include "tools/simulator/port_link.h"

#include <cstddef>
#include <stdexcept>
#include <system_error>

namespace simulator {

namespace {

constexpr std::size_t kMaxLinkNameBytes = 64;

}  // namespace

bool IsValidLinkName(const std::string& name) {
    if (name.empty() || name.size() > kMaxLinkNameBytes || name == "." || name == "..") {
        return false;
    }
    for (unsigned char c : name) {
        if (c == '/' || c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

PortLink::PortLink(const std::filesystem::path& directory, const std::string& name,
                   const std::filesystem::path& target)
    : path_(directory / name), target_(target) {
    namespace fs = std::filesystem;
    if (!IsValidLinkName(name)) {
        throw std::invalid_argument("not a usable port name: \"" + name + "\"");
    }
    if (fs::create_directories(directory)) {
        fs::permissions(directory, fs::perms::owner_all, fs::perm_options::replace);
    }
    // Only a dangling link is taken for one left behind by an earlier run; a link to a tty that
    // exists may belong to a simulator that is running now.
    const fs::file_status existing = fs::symlink_status(path_);
    if (fs::is_symlink(existing) && !fs::exists(fs::status(path_))) {
        fs::remove(path_);
    } else if (fs::exists(existing)) {
        throw fs::filesystem_error("already in use", path_,
                                   std::make_error_code(std::errc::file_exists));
    }
    fs::create_symlink(target_, path_);
}

PortLink::~PortLink() {
    std::error_code ignored;
    if (std::filesystem::read_symlink(path_, ignored) == target_) {
        std::filesystem::remove(path_, ignored);
    }
}

}  // namespace simulator
