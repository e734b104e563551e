// A private temporary directory for one test, removed with everything in it afterwards.
#ifndef DRIVERPANEL_TESTS_SERIAL_LINUX_TEMP_DIR_H
#define DRIVERPANEL_TESTS_SERIAL_LINUX_TEMP_DIR_H

#include <stdlib.h>

#include <filesystem>
#include <string>

class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "driverpanel-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string Join(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

#endif
