// The port list, opening and closing, and device changes: which port is opened with which
// settings, which timers run afterwards, and that no frame spans two connections.
#include <gtest/gtest.h>

#include "panel/panel_timing.h"
#include "resources/resource.h"
#include "tests/panel/fake_panel.h"

namespace {

const Bytes kTempReply = MakeReply(0x0B, {0x09, 0xC4, 0x0A, 0x28});

TEST(PortList, ListsPresentPortsOneToSixteenInOrder) {
    PanelHarness panel;
    panel.Start({1, 3, 4, 17});
    EXPECT_EQ(panel.window.portItems, (std::vector<std::string>{"COM1", "COM3", "COM4"}));
    EXPECT_EQ(panel.window.selectedItem, 0);
    EXPECT_EQ(panel.state.portCount, 3);
    EXPECT_EQ(panel.state.portTable[0], 1);
    EXPECT_EQ(panel.state.portTable[1], 3);
    EXPECT_EQ(panel.state.portTable[2], 4);
    std::vector<int> oneToSixteen;
    for (int n = 1; n <= 16; ++n) {
        oneToSixteen.push_back(n);
    }
    EXPECT_EQ(panel.probe.probed, oneToSixteen);
    EXPECT_EQ(panel.window.texts[IDC_OPEN_PORT], "OpenPort");
    EXPECT_TRUE(panel.window.enabled[IDC_PORT_LIST]);
}

TEST(OpenClose, OpensTheSelectedPortWithTheConnectionSettings) {
    PanelHarness panel;
    panel.Start({1, 3, 4});
    panel.window.selectedItem = 1;
    panel.logic.OnOpenClose();
    ASSERT_EQ(panel.port.setups, std::vector<int>{3});
    const LineSettings& s = panel.port.settings[0];
    EXPECT_EQ(s.baudRate, 9600u);
    EXPECT_EQ(s.parity, 'N');
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.stopBits, 0);
    EXPECT_EQ(s.eventMask, kEvRxChar);
    EXPECT_EQ(s.writeBufferSize, 512u);
    for (auto timeout :
         {s.readIntervalTimeout, s.readTotalTimeoutMultiplier, s.readTotalTimeoutConstant,
          s.writeTotalTimeoutMultiplier, s.writeTotalTimeoutConstant}) {
        EXPECT_EQ(timeout, 1000u);
    }
    EXPECT_EQ(panel.window.texts[IDC_OPEN_PORT], "ClosePort");
    EXPECT_FALSE(panel.window.enabled[IDC_PORT_LIST]);
    EXPECT_EQ(panel.timers.RunningTimers(), std::set<int>{TIMER_CONFIG});
    EXPECT_EQ(panel.port.workersStarted, 1);
    EXPECT_TRUE(panel.state.portOpen);
    EXPECT_EQ(panel.state.selectedPort, 3);
}

TEST(OpenClose, OpenClickOutcomes) {
    struct Case {
        std::string name;
        std::set<int> present;
        int selectedItem;
        bool setupResult, startWorkerResult;
        int expectedSetups;
        bool expectedOpen;
    };
    const Case cases[] = {
        {"no port present", {}, -1, true, true, 0, false},
        {"nothing selected", {3}, -1, true, true, 0, false},
        {"selection beyond the list", {3}, 1, true, true, 0, false},
        {"setup fails", {3}, 0, false, true, 1, false},
        {"worker fails to start", {3}, 0, true, false, 1, true},
    };
    for (const Case& c : cases) {
        PanelHarness panel;
        panel.Start(c.present);
        panel.window.selectedItem = c.selectedItem;
        panel.port.setupResult = c.setupResult;
        panel.port.startWorkerResult = c.startWorkerResult;
        panel.logic.OnOpenClose();
        EXPECT_EQ(panel.port.setups.size(), static_cast<std::size_t>(c.expectedSetups)) << c.name;
        EXPECT_EQ(panel.state.portOpen, c.expectedOpen) << c.name;
        EXPECT_EQ(panel.window.texts[IDC_OPEN_PORT], c.expectedOpen ? "ClosePort" : "OpenPort")
            << c.name;
        EXPECT_EQ(panel.timers.Running(TIMER_CONFIG), c.expectedOpen) << c.name;
    }
}

TEST(OpenClose, CloseStopsEverythingAndReopenAsksForConfigurationAgain) {
    PanelHarness panel;
    panel.OpenConfigured(100, 1000);
    panel.Press(IDC_STEP_UP);
    panel.port.duringShutdown = [&] { panel.Receive(kTempReply); };
    panel.logic.OnOpenClose();
    EXPECT_EQ(panel.port.shutdowns, 1);
    EXPECT_EQ(panel.window.texts[IDC_LD_TEMP], "25.0");  // bytes on their way are still handled
    EXPECT_EQ(panel.timers.now, 200);
    EXPECT_TRUE(panel.timers.RunningTimers().empty());
    EXPECT_FALSE(panel.state.portOpen);
    EXPECT_FALSE(panel.state.configured);
    EXPECT_EQ(panel.window.texts[IDC_OPEN_PORT], "OpenPort");
    EXPECT_TRUE(panel.window.enabled[IDC_PORT_LIST]);
    EXPECT_EQ(panel.window.portItems, std::vector<std::string>{"COM3"});

    panel.logic.OnOpenClose();
    panel.RunFor(200);
    EXPECT_EQ(panel.port.sent, (std::vector<SentFrame>{{400, QueryBytes(kQueryConfigFrame)}}));
}

// Every rebuild of the list keeps the port that was selected while it is present, so that the
// operator's next open reaches the same device.
TEST(PortList, RebuildKeepsTheSelectedPortWhilePresent) {
    struct Case {
        std::string name;
        bool openFirst;  // rebuilt by closing the open port, else by a device change while closed
        std::set<int> presentAtRebuild;
        int expectedItem;
        int expectedPort;
    };
    const Case cases[] = {
        {"close, same ports", true, {1, 3, 4}, 1, 3},
        {"close, a port listed before it arrived", true, {1, 2, 3, 4}, 2, 3},
        {"close, the port gone meanwhile", true, {1, 4}, 0, 1},
        {"device change while closed", false, {1, 2, 3, 4}, 2, 3},
        {"device change while closed, the port gone", false, {4}, 0, 4},
    };
    for (const Case& c : cases) {
        PanelHarness panel;
        panel.Start({1, 3, 4});
        panel.window.selectedItem = 1;
        if (c.openFirst) {
            panel.logic.OnOpenClose();
        }
        panel.probe.present = c.presentAtRebuild;
        if (c.openFirst) {
            panel.logic.OnOpenClose();
        } else {
            panel.logic.OnDeviceChange();
        }
        EXPECT_EQ(panel.window.selectedItem, c.expectedItem) << c.name;
        panel.logic.OnOpenClose();
        EXPECT_EQ(panel.port.setups.back(), c.expectedPort) << c.name;
    }
}

TEST(DeviceChange, NoPortOpenRebuildsTheListAfter400Ms) {
    PanelHarness panel;
    panel.Start({3});
    panel.probe.present = {2, 3};
    panel.logic.OnDeviceChange();
    EXPECT_EQ(panel.timers.now, 400);
    EXPECT_EQ(panel.window.portItems, (std::vector<std::string>{"COM2", "COM3"}));
    EXPECT_EQ(panel.port.shutdowns, 0);
}

// Another module may be behind the same port after a device change: a variant-B module with a
// maximum of 300 where a variant-A one with 1000 was. The re-opened panel sends nothing until the
// new configuration is in, also not for a step button held through the change, and then polls.
TEST(DeviceChange, PortStillPresentIsReopenedAndAskedForItsConfiguration) {
    PanelHarness panel;
    panel.OpenConfigured(900, 1000);
    panel.RunFor(300);
    panel.Press(IDC_STEP_UP);
    panel.logic.OnDeviceChange();
    EXPECT_EQ(panel.port.shutdowns, 1);
    EXPECT_EQ(panel.port.setups, (std::vector<int>{3, 3}));
    EXPECT_EQ(panel.port.workersStarted, 2);
    EXPECT_TRUE(panel.state.portOpen);
    EXPECT_FALSE(panel.state.configured);
    EXPECT_EQ(panel.timers.RunningTimers(), std::set<int>{TIMER_CONFIG});
    EXPECT_EQ(panel.timers.now, 700);
    EXPECT_EQ(panel.window.texts[IDC_OPEN_PORT], "ClosePort");

    panel.RunFor(400);
    panel.Release(IDC_STEP_UP);
    panel.logic.StepUp();
    panel.RunFor(100);
    EXPECT_EQ(panel.port.sent, (std::vector<SentFrame>{{900, QueryBytes(kQueryConfigFrame)},
                                                       {1100, QueryBytes(kQueryConfigFrame)}}));

    panel.port.sent.clear();
    panel.Receive(PanelHarness::ConfigReply(0, 250, 0, 300, 2));
    EXPECT_TRUE(panel.state.configured);
    EXPECT_EQ(panel.timers.RunningTimers(), std::set<int>{TIMER_POLL});
    panel.RunFor(500);
    EXPECT_EQ(panel.port.sent, (std::vector<SentFrame>{{1700, QueryBytes(kQueryTempFrame)},
                                                       {1800, QueryBytes(kQueryPowerFrame)}}));
}

TEST(DeviceChange, PortGoneClosesAndRebuildsTheList) {
    PanelHarness panel;
    panel.probe.present = {3, 5};
    panel.logic.OnInitDialog();
    panel.logic.OnOpenClose();
    panel.Receive(PanelHarness::ConfigReply(100, 0, 1000, 0, 1));
    panel.probe.present = {5};
    panel.logic.OnDeviceChange();
    EXPECT_FALSE(panel.state.portOpen);
    EXPECT_FALSE(panel.state.configured);
    EXPECT_TRUE(panel.timers.RunningTimers().empty());
    EXPECT_EQ(panel.window.portItems, std::vector<std::string>{"COM5"});
    EXPECT_EQ(panel.window.texts[IDC_OPEN_PORT], "OpenPort");
    EXPECT_TRUE(panel.window.enabled[IDC_PORT_LIST]);
}

// A failed re-open leaves the button reading ClosePort with no port open; the configuration is
// forgotten all the same, so that whatever opens next is asked for its own.
TEST(DeviceChange, FailedReopenForgetsTheConfiguration) {
    for (bool retryByClick : {true, false}) {
        PanelHarness panel;
        panel.OpenConfigured(100, 1000);
        panel.port.setupResult = false;
        panel.logic.OnDeviceChange();
        EXPECT_FALSE(panel.state.portOpen);
        EXPECT_FALSE(panel.state.configured);
        EXPECT_EQ(panel.window.texts[IDC_OPEN_PORT], "ClosePort");
        EXPECT_TRUE(panel.timers.RunningTimers().empty());
        panel.Release(IDC_STEP_UP);
        panel.RunFor(1000);
        EXPECT_TRUE(panel.port.sent.empty());

        panel.port.setupResult = true;
        if (retryByClick) {
            // The button takes the open branch and asks for the configuration, which ends the
            // queries and starts the poll.
            panel.logic.OnOpenClose();
            EXPECT_TRUE(panel.state.portOpen);
            panel.Receive(PanelHarness::ConfigReply(100, 0, 1000, 0, 1));
            EXPECT_EQ(panel.timers.RunningTimers(), std::set<int>{TIMER_POLL});
        } else {
            // The next change rebuilds the list, and the button reads OpenPort.
            panel.logic.OnDeviceChange();
            EXPECT_EQ(panel.window.texts[IDC_OPEN_PORT], "OpenPort");
            EXPECT_TRUE(panel.timers.RunningTimers().empty());
        }
    }
}

// On Windows, closing the port keeps dispatching the panel's messages, so further device changes
// arrive inside a change's Shutdown. They only mark that the devices changed again: the running
// change goes round once more, and the panel ends as one change would have left it.
TEST(DeviceChange, ChangesDuringShutdownAreHandledOnceMoreAfterIt) {
    struct Case {
        const char* name;
        bool stillPresent;
        int changesDuringShutdown;
        int shutdowns;
        std::vector<int> setups;  // the open's, then each re-open's
    };
    const Case cases[] = {
        {"one change, port still present", true, 1, 2, {3, 3, 3}},
        {"a storm, port still present", true, 50, 2, {3, 3, 3}},
        {"one change, port gone", false, 1, 1, {3}},
        {"a storm, port gone", false, 50, 1, {3}},
    };
    for (const Case& c : cases) {
        PanelHarness panel;
        panel.OpenConfigured(100, 1000);
        if (!c.stillPresent) {
            panel.probe.present.clear();
        }
        bool delivered = false;
        panel.port.duringShutdown = [&] {
            if (!delivered) {
                delivered = true;
                for (int change = 0; change < c.changesDuringShutdown; ++change) {
                    panel.logic.OnDeviceChange();
                }
            }
        };
        panel.logic.OnDeviceChange();

        EXPECT_EQ(panel.port.shutdowns, c.shutdowns) << c.name;
        EXPECT_EQ(panel.port.setups, c.setups) << c.name;
        EXPECT_EQ(panel.state.portOpen, c.stillPresent) << c.name;
        EXPECT_FALSE(panel.state.configured) << c.name;
        if (c.stillPresent) {
            EXPECT_EQ(panel.port.workersStarted, 3) << c.name;
            EXPECT_EQ(panel.timers.RunningTimers(), std::set<int>{TIMER_CONFIG}) << c.name;
            EXPECT_EQ(panel.window.texts[IDC_OPEN_PORT], "ClosePort") << c.name;
        } else {
            EXPECT_TRUE(panel.timers.RunningTimers().empty()) << c.name;
            EXPECT_TRUE(panel.window.portItems.empty()) << c.name;
            EXPECT_EQ(panel.window.texts[IDC_OPEN_PORT], "OpenPort") << c.name;
            EXPECT_TRUE(panel.window.enabled[IDC_PORT_LIST]) << c.name;
        }
        // Handled: the next change is a change of its own again.
        panel.port.duringShutdown = nullptr;
        const int shutdownsBefore = panel.port.shutdowns;
        panel.logic.OnDeviceChange();
        EXPECT_EQ(panel.port.shutdowns, shutdownsBefore + (c.stillPresent ? 1 : 0)) << c.name;
    }
}

// A change dispatched while the close click's Shutdown waits must not re-open the port under the
// close: the panel ends closed, with no worker left running and no timer, the list rebuilt.
TEST(DeviceChange, ChangeDuringACloseWaitsForTheClose) {
    PanelHarness panel;
    panel.OpenConfigured(100, 1000);
    bool delivered = false;
    panel.port.duringShutdown = [&] {
        if (!delivered) {
            delivered = true;
            panel.logic.OnDeviceChange();
        }
    };
    panel.logic.OnOpenClose();

    EXPECT_EQ(panel.port.shutdowns, 1);
    EXPECT_EQ(panel.port.setups, std::vector<int>{3});
    EXPECT_FALSE(panel.state.portOpen);
    EXPECT_TRUE(panel.timers.RunningTimers().empty());
    EXPECT_EQ(panel.window.texts[IDC_OPEN_PORT], "OpenPort");
    EXPECT_TRUE(panel.window.enabled[IDC_PORT_LIST]);
}

// A reply cut off by closing the port must not be completed by the first bytes of the next
// connection: the assembler starts afresh with every open.
TEST(OpenClose, NoFrameSpansTwoConnections) {
    const Bytes head(kTempReply.begin(), kTempReply.begin() + 5);
    const Bytes tail(kTempReply.begin() + 5, kTempReply.end());
    for (bool byDeviceChange : {false, true}) {
        PanelHarness panel;
        panel.OpenConfigured(100, 1000);
        panel.Receive(head);
        if (byDeviceChange) {
            panel.logic.OnDeviceChange();
        } else {
            panel.logic.OnOpenClose();
            panel.logic.OnOpenClose();
        }
        ASSERT_TRUE(panel.state.portOpen);
        panel.Receive(tail);
        EXPECT_EQ(panel.window.texts.count(IDC_LD_TEMP), 0u) << byDeviceChange;
        panel.Receive(kTempReply);
        EXPECT_EQ(panel.window.texts[IDC_LD_TEMP], "25.0") << byDeviceChange;
    }
}

}  // namespace
