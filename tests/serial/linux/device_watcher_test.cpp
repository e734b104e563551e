// The watcher hears virtual ports come and go through its one descriptor.
#include "serial/linux/device_watcher.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/serial/linux/temp_dir.h"

namespace {

bool WaitReadable(int fd) {
    pollfd wait = {fd, POLLIN, 0};
    return poll(&wait, 1, 10000) == 1;
}

bool IsQuiet(int fd) {
    pollfd wait = {fd, POLLIN, 0};
    return poll(&wait, 1, 0) == 0;
}

TEST(DeviceWatcherTest, CreatesTheDirectoryAndHearsLinksComeAndGo) {
    TempDir parent;
    const std::string ports = parent.Join("ports");
    DeviceWatcher watcher(ports);

    struct stat info {};
    ASSERT_EQ(stat(ports.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_GE(watcher.FileDescriptor(), 0);

    const std::string link = ports + "/sim";
    ASSERT_EQ(symlink("/dev/null", link.c_str()), 0);
    ASSERT_TRUE(WaitReadable(watcher.FileDescriptor()));
    EXPECT_TRUE(watcher.DrainEvents());
    EXPECT_TRUE(IsQuiet(watcher.FileDescriptor()));

    ASSERT_EQ(unlink(link.c_str()), 0);
    ASSERT_TRUE(WaitReadable(watcher.FileDescriptor()));
    EXPECT_TRUE(watcher.DrainEvents());
    EXPECT_FALSE(watcher.DrainEvents());

    // The directory removed: made again, and links in it are still heard.
    ASSERT_EQ(rmdir(ports.c_str()), 0);
    ASSERT_TRUE(WaitReadable(watcher.FileDescriptor()));
    EXPECT_TRUE(watcher.DrainEvents());
    ASSERT_EQ(symlink("/dev/null", link.c_str()), 0);
    ASSERT_TRUE(WaitReadable(watcher.FileDescriptor()));
    EXPECT_TRUE(watcher.DrainEvents());
}

}  // namespace
