// Reads a directory's entry names with opendir/readdir.
#include "serial/linux/directory_entries.h"

#include <dirent.h>

#include <memory>
#include <utility>

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

std::vector<std::string> ListEntryNames(const std::string& directory) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, DirCloser> dir(opendir(directory.c_str()));
    if (!dir) {
        return names;
    }
    while (const dirent* entry = readdir(dir.get())) {
        std::string name = entry->d_name;
        if (!name.starts_with(".")) {
            names.push_back(std::move(name));
        }
    }
    return names;
}
