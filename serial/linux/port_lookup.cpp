// A port named by path, by name or by number; see port_lookup.h.
#include "serial/linux/port_lookup.h"

#include <cstdlib>

namespace {

// Where a path leads once every link is followed; nothing is opened.
std::optional<std::string> CanonicalPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return std::nullopt;
    }
    std::string canonical(resolved);
    free(resolved);
    return canonical;
}

}  // namespace

std::vector<ListedPort> FindListedPorts(const std::vector<ListedPort>& listed,
                                        const std::string& text, const DevicePathOf& devicePath) {
    std::vector<ListedPort> found;
    if (text.find('/') != std::string::npos) {
        const std::optional<std::string> device = CanonicalPath(text);
        if (!device) {
            return found;
        }
        for (const ListedPort& port : listed) {
            const std::optional<std::string> path = devicePath(port.number);
            if (path && (*path == text || CanonicalPath(*path) == device)) {
                found.push_back(port);
            }
        }
        return found;
    }
    const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    for (const ListedPort& port : listed) {
        if (port.name == text || (digits && std::to_string(port.number) == text)) {
            found.push_back(port);
        }
    }
    return found;
}
