// Which ports are listed, under which number, and where virtual ports are looked for.
#include "serial/linux/port_registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "serial/linux/virtual_port_dir.h"
#include "tests/serial/linux/pty_pair.h"
#include "tests/serial/linux/temp_dir.h"

namespace {

std::vector<std::optional<std::string>> ProbeAll(PortRegistry& registry) {
    std::vector<std::optional<std::string>> listed;
    for (int n = 1; n <= PortRegistry::kMaxPorts; ++n) {
        listed.push_back(registry.Probe(n));
    }
    return listed;
}

// The listing as one line: each number's port name in order, "-" for an unused number.
std::string Listing(PortRegistry& registry) {
    std::string line;
    for (const std::optional<std::string>& name : ProbeAll(registry)) {
        line += (line.empty() ? "" : " ") + name.value_or("-");
    }
    return line;
}

class PortRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(pty_.Valid()); }

    bool Link(const std::string& name) {
        return symlink(pty_.NearPath().c_str(), ports_.Join(name).c_str()) == 0;
    }
    bool Unlink(const std::string& name) { return unlink(ports_.Join(name).c_str()) == 0; }

    // Links p1 to p16, which take numbers 1 to 16.
    void FillAllNumbers() {
        for (int i = 1; i <= PortRegistry::kMaxPorts; ++i) {
            ASSERT_TRUE(Link("p" + std::to_string(i)));
        }
        ASSERT_EQ(registry_.Probe(PortRegistry::kMaxPorts), "p16");
    }

    TempDir ports_;
    PtyPair pty_;
    // A stand-in for udev: one hardware port, whose node is the pty (any character device does).
    std::vector<HardwarePort> hardware_;
    PortRegistry registry_{[this] { return hardware_; }, ports_.Path()};
};

TEST_F(PortRegistryTest, NumbersHardwareThenLinksAndKeepsNumbers) {
    hardware_ = {{"ttyUSB10", pty_.NearPath()}, {"ttyUSB2", "/dev/null-but-missing"}};
    ASSERT_TRUE(Link("sim-b"));
    ASSERT_TRUE(Link("sim-a"));
    ASSERT_EQ(symlink("/nonexistent/tty", ports_.Join("dangling").c_str()), 0);
    ASSERT_EQ(symlink("/etc/hostname", ports_.Join("not-a-device").c_str()), 0);
    // Character devices that are no serial line.
    for (const char* device : {"/dev/null", "/dev/zero", "/dev/tty", "/dev/ptmx"}) {
        ASSERT_EQ(symlink(device, ports_.Join(device + 5).c_str()), 0);
    }
    std::ofstream(ports_.Join("plain-file")) << "x";

    EXPECT_EQ(registry_.Probe(1), "ttyUSB10");
    EXPECT_EQ(registry_.Probe(2), "sim-a");
    EXPECT_EQ(registry_.Probe(3), "sim-b");
    EXPECT_EQ(registry_.Probe(4), std::nullopt);
    EXPECT_EQ(registry_.DevicePath(1), pty_.NearPath());
    EXPECT_EQ(registry_.DevicePath(2), ports_.Join("sim-a"));
    for (int outOfRange : {0, -1, 17}) {
        EXPECT_EQ(registry_.Probe(outOfRange), std::nullopt);
        EXPECT_EQ(registry_.DevicePath(outOfRange), std::nullopt);
    }

    // sim-a leaves, sim-c arrives: sim-b keeps 3, sim-c gets the next new number; when sim-a
    // returns it is port 2 again.
    ASSERT_EQ(unlink(ports_.Join("sim-a").c_str()), 0);
    ASSERT_TRUE(Link("sim-c"));
    EXPECT_EQ(registry_.Probe(2), std::nullopt);
    EXPECT_EQ(registry_.DevicePath(2), std::nullopt);
    EXPECT_EQ(registry_.Probe(3), "sim-b");
    EXPECT_EQ(registry_.Probe(4), "sim-c");
    ASSERT_TRUE(Link("sim-a"));
    EXPECT_EQ(registry_.Probe(2), "sim-a");
}

TEST_F(PortRegistryTest, NeverListsMoreThanSixteenPorts) {
    for (int i = 1; i <= 20; ++i) {
        ASSERT_TRUE(Link("port" + std::to_string(i)));
    }
    const auto listed = ProbeAll(registry_);
    EXPECT_EQ(listed.front(), "port1");
    EXPECT_EQ(listed[9], "port10");  // names with numbers sort by value: port2 comes before it
    EXPECT_EQ(listed.back(), "port16");
    EXPECT_EQ(registry_.Probe(17), std::nullopt);
}

// Ports come and go while all sixteen numbers are taken; after each step the whole list is looked
// at, as the panel does when it lists the ports.
TEST_F(PortRegistryTest, AFullSetOfNumbersPassesOnTheNumberOfThePortGoneLongest) {
    struct Step {
        const char* what;
        std::vector<std::string> leave;
        std::vector<std::string> arrive;
        const char* listing;
    };
    const Step steps[] = {
        {"p3 leaves: its number stays unused",
         {"p3"},
         {},
         "p1 p2 - p4 p5 p6 p7 p8 p9 p10 p11 p12 p13 p14 p15 p16"},
        {"p3 returns to its number",
         {},
         {"p3"},
         "p1 p2 p3 p4 p5 p6 p7 p8 p9 p10 p11 p12 p13 p14 p15 p16"},
        {"p3 leaves again", {"p3"}, {}, "p1 p2 - p4 p5 p6 p7 p8 p9 p10 p11 p12 p13 p14 p15 p16"},
        {"a new port takes the only unused number",
         {},
         {"p17"},
         "p1 p2 p17 p4 p5 p6 p7 p8 p9 p10 p11 p12 p13 p14 p15 p16"},
        {"p3 returns while every number is held by a present port: not listed",
         {},
         {"p3"},
         "p1 p2 p17 p4 p5 p6 p7 p8 p9 p10 p11 p12 p13 p14 p15 p16"},
        {"p5 leaves: the waiting p3 takes its number",
         {"p5"},
         {},
         "p1 p2 p17 p4 p3 p6 p7 p8 p9 p10 p11 p12 p13 p14 p15 p16"},
        {"p9 leaves", {"p9"}, {}, "p1 p2 p17 p4 p3 p6 p7 p8 - p10 p11 p12 p13 p14 p15 p16"},
        {"p6 leaves", {"p6"}, {}, "p1 p2 p17 p4 p3 - p7 p8 - p10 p11 p12 p13 p14 p15 p16"},
        {"two new ports: the first in name order takes the number of the port gone longest",
         {},
         {"p19", "p18"},
         "p1 p2 p17 p4 p3 p19 p7 p8 p18 p10 p11 p12 p13 p14 p15 p16"},
        {"p9 returns: its number is p18's now",
         {},
         {"p9"},
         "p1 p2 p17 p4 p3 p19 p7 p8 p18 p10 p11 p12 p13 p14 p15 p16"},
    };
    FillAllNumbers();
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        for (const std::string& name : step.leave) {
            ASSERT_TRUE(Unlink(name));
        }
        for (const std::string& name : step.arrive) {
            ASSERT_TRUE(Link(name));
        }
        EXPECT_EQ(Listing(registry_), step.listing);
    }
}

// A device change asks for the open port by its number: the look that finds it gone must not
// find another device under that number, or the panel would open that one in its place.
TEST_F(PortRegistryTest, TheLookThatFindsAPortGoneGivesItsNumberToNoOtherPort) {
    FillAllNumbers();
    ASSERT_TRUE(Unlink("p16"));
    ASSERT_TRUE(Link("p17"));
    EXPECT_EQ(registry_.DevicePath(16), std::nullopt);
    EXPECT_EQ(registry_.Probe(16), "p17");
    EXPECT_EQ(registry_.DevicePath(16), ports_.Join("p17"));
}

TEST_F(PortRegistryTest, IgnoresADirectoryOthersCanWriteInto) {
    ASSERT_TRUE(Link("sim"));
    ASSERT_EQ(chmod(ports_.Path().c_str(), 0777), 0);
    EXPECT_EQ(registry_.Probe(1), std::nullopt);
    ASSERT_EQ(chmod(ports_.Path().c_str(), 0700), 0);
    EXPECT_EQ(registry_.Probe(1), "sim");
}

// A small sysfs tty class: each tty a directory, "device" present for those with hardware behind
// them, "type" for UART ports, "uevent" naming the node.
TEST(HardwarePortsTest, ListsRealPortsOnlyWithTheirNodes) {
    TempDir sys;
    auto tty = [&](const std::string& name, bool device, const char* type, const char* devName) {
        const std::string dir = sys.Join(name);
        mkdir(dir.c_str(), 0755);
        if (device) {
            mkdir((dir + "/device").c_str(), 0755);
        }
        if (type != nullptr) {
            std::ofstream(dir + "/type") << type << "\n";
        }
        std::ofstream(dir + "/uevent") << "MAJOR=4\nMINOR=64\nDEVNAME=" << devName << "\n";
    };
    tty("ttyS0", true, "4", "ttyS0");
    tty("ttyS1", true, "0", "ttyS1");  // phantom: the 8250 driver found no UART there
    tty("ttyUSB0", true, nullptr, "ttyUSB0");
    tty("ttyACM0", true, nullptr, "acm/modem0");
    tty("tty3", false, nullptr, "tty3");  // virtual console
    tty("ptmx", false, nullptr, "ptmx");

    std::vector<std::string> found;
    for (const HardwarePort& port : ListHardwarePorts(sys.Path())) {
        found.push_back(port.name + " " + port.devicePath);
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"ttyACM0 /dev/acm/modem0", "ttyS0 /dev/ttyS0",
                                               "ttyUSB0 /dev/ttyUSB0"}));

    EXPECT_TRUE(IsHardwareDevicePath("/devices/pci0000:00/0000:00:14.0/usb1/1-1/ttyUSB0"));
    EXPECT_FALSE(IsHardwareDevicePath("/devices/virtual/tty/tty3"));
}

TEST(VirtualPortDirectoryTest, FollowsTheEnvironment) {
    struct Case {
        const char* ports;
        const char* runtime;
        std::string expected;
    };
    const Case cases[] = {
        {"/srv/ports", "/run/user/1000", "/srv/ports"},
        {"", "/run/user/1000", "/run/user/1000/driverpanel-ports"},
        {nullptr, nullptr, "/tmp/driverpanel-ports-" + std::to_string(getuid())},
    };
    const char* savedPorts = std::getenv("DRIVERPANEL_PORTS");
    const char* savedRuntime = std::getenv("XDG_RUNTIME_DIR");
    const std::string keptPorts = savedPorts ? savedPorts : "";
    const std::string keptRuntime = savedRuntime ? savedRuntime : "";
    auto set = [](const char* name, const char* value) {
        value ? setenv(name, value, 1) : unsetenv(name);
    };
    for (const Case& c : cases) {
        set("DRIVERPANEL_PORTS", c.ports);
        set("XDG_RUNTIME_DIR", c.runtime);
        EXPECT_EQ(VirtualPortDirectory(), c.expected);
    }
    set("DRIVERPANEL_PORTS", savedPorts ? keptPorts.c_str() : nullptr);
    set("XDG_RUNTIME_DIR", savedRuntime ? keptRuntime.c_str() : nullptr);
}

}  // namespace
