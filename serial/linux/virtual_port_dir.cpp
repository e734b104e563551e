// Where virtual ports live, and whether that place can be trusted.
#include "serial/linux/virtual_port_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

const char* NonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

std::string VirtualPortDirectory() {
    if (const char* dir = NonEmptyEnv("DRIVERPANEL_PORTS")) {
        return dir;
    }
    if (const char* runtime = NonEmptyEnv("XDG_RUNTIME_DIR")) {
        return std::string(runtime) + "/driverpanel-ports";
    }
    return "/tmp/driverpanel-ports-" + std::to_string(getuid());
}

bool EnsureVirtualPortDirectory(const std::string& directory) {
    if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat info {};
    return stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsTrustedPortDirectory(const std::string& directory) {
    struct stat info {};
    return lstat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           (info.st_uid == geteuid() || info.st_uid == 0) &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}
