// A panel on the offscreen platform whose port list holds only the simulated module: a private
// virtual-port directory with one link to the simulator's pty, no hardware ports.
#ifndef DRIVERPANEL_TESTS_HOSTS_QT_PANEL_FIXTURE_H
#define DRIVERPANEL_TESTS_HOSTS_QT_PANEL_FIXTURE_H

#include <gtest/gtest.h>

#include <QString>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hosts/qt/driver_panel_dlg.h"
#include "hosts/qt/panel_host.h"
#include "protocol/frame.h"
#include "tools/simulator/port_link.h"
#include "tools/simulator/pty_module.h"

// Generous: these bound waits for things that take a fraction of a second, so only a hang or a
// missing event ever reaches them.
constexpr std::chrono::milliseconds kEventBound{10000};

inline constexpr const char* kSimulatorLinkName = "sim0";

// Runs the event loop, as the program does, until `condition` holds (true) or `bound` passes
// (false). Unlike QTest::qWaitFor, which sleeps between rounds, it handles each event as it
// comes, so the port's descriptor is served as promptly as the program serves it.
bool RunEventsUntil(const std::function<bool()>& condition,
                    std::chrono::milliseconds bound = kEventBound);

// Runs xdotool with the arguments on the test's X display and waits for it, handling events
// meanwhile; true when it succeeded. Spawned, not forked: the thread sanitizer cannot follow a
// fork of a process that runs threads, and stops the next thread the process starts.
bool RunXdotool(const std::vector<std::string>& arguments);

class PanelTest : public ::testing::Test {
  protected:
    PanelTest();
    ~PanelTest() override;

    void StartSimulator(const simulator::ModuleConfig& config = {});
    void StopSimulatorLine();  // the module's end hangs up and its link goes
    void BuildPanel();

    QWidget* Control(int controlId) const;
    QString Text(int controlId) const;
    void Click(int controlId);
    // Clicks OpenPort and waits for the module's configuration to reach the panel.
    void OpenAndWaitForConfiguration();

    // Valid frames the module received, in order.
    std::vector<std::vector<std::uint8_t>> ReceivedFrames() const;
    int Count(const QueryFrame& frame) const;
    std::vector<int> SetValues() const;  // the values of the set frames, in order
    // Processes the panel's events until `condition` holds; false after kEventBound.
    bool WaitUntil(const std::function<bool()>& condition);

    // Saves a picture of the panel under the build tree's artifacts folder.
    void SaveScreenshot(const QString& fileName) const;

    std::filesystem::path portDirectory_;
    std::unique_ptr<simulator::PtyModule> module_;
    std::unique_ptr<simulator::PortLink> link_;
    std::unique_ptr<PanelHost> host_;
    std::unique_ptr<CDriverPanelDlg> panel_;
};

#endif
