// Which listed ports a user's text names: by name, by list number, by any path that leads to the
// port's device; a number that is also another port's name names both.
#include "serial/linux/port_lookup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/serial/linux/temp_dir.h"

namespace {

TEST(PortLookup, NamesNumbersAndPathsFindTheirPortsAndAnAmbiguousNumberFindsBoth) {
    TempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    for (const char* device : {"ttyUSB0", "pts-7", "pts-8"}) {
        std::ofstream(dir.Join(device)) << "";
    }
    ASSERT_EQ(mkdir(dir.Join("ports").c_str(), 0700), 0);
    ASSERT_EQ(symlink(dir.Join("pts-7").c_str(), dir.Join("ports/3").c_str()), 0);
    ASSERT_EQ(symlink(dir.Join("pts-8").c_str(), dir.Join("ports/sim").c_str()), 0);
    // As udev's /dev/serial/by-id: a link to the port's link.
    ASSERT_EQ(symlink(dir.Join("ports/sim").c_str(), dir.Join("by-id").c_str()), 0);

    const std::vector<ListedPort> listed{{1, "ttyUSB0"}, {2, "3"}, {3, "sim"}, {4, "lost"}};
    const std::map<int, std::string> paths{
        {1, dir.Join("ttyUSB0")}, {2, dir.Join("ports/3")}, {3, dir.Join("ports/sim")}};
    const DevicePathOf devicePath = [&paths](int number) -> std::optional<std::string> {
        const auto found = paths.find(number);
        return found == paths.end() ? std::nullopt : std::optional(found->second);
    };

    struct Case {
        std::string text;
        std::vector<int> numbers;
    };
    const Case cases[] = {
        {"ttyUSB0", {1}},
        {"sim", {3}},
        {"lost", {4}},
        {"1", {1}},     // a number that is no one's name
        {"2", {2}},     // port 2's number, though its name is "3"
        {"3", {2, 3}},  // port 2's name and port 3's number: ambiguous
        {"03", {}},
        {"", {}},
        {"Sim", {}},
        {dir.Join("ttyUSB0"), {1}},
        {dir.Join("ports/3"), {2}},  // a path is never a number
        {dir.Join("pts-8"), {3}},    // the device itself
        {dir.Join("by-id"), {3}},
        {dir.Join("ports/../ports/sim"), {3}},
        {dir.Join("nothing-here"), {}},
        {"/dev/null", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<int> numbers;
        for (const ListedPort& port : FindListedPorts(listed, c.text, devicePath)) {
            numbers.push_back(port.number);
        }
        EXPECT_EQ(numbers, c.numbers);
    }
}

}  // namespace
