// The panel-on-simulator test fixture.
#include "panel_fixture.h"

#include <spawn.h>
#include <sys/wait.h>

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <string>

#include "resources/resource.h"

PanelTest::PanelTest() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "driverpanel-qt-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    portDirectory_ = pattern;
}

PanelTest::~PanelTest() {
    panel_.reset();
    host_.reset();
    link_.reset();
    module_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(portDirectory_, ignored);
}

void PanelTest::StartSimulator(const simulator::ModuleConfig& config) {
    module_ = std::make_unique<simulator::PtyModule>(config);
    module_->Start();
    link_ =
        std::make_unique<simulator::PortLink>(portDirectory_, kSimulatorLinkName, module_->Path());
}

void PanelTest::StopSimulatorLine() {
    module_->HangUp();
    link_.reset();
}

void PanelTest::BuildPanel() {
    host_ = std::make_unique<PanelHost>([] { return std::vector<HardwarePort>{}; },
                                        portDirectory_.string());
    panel_ = std::make_unique<CDriverPanelDlg>(*host_);
    panel_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel_.get()));
}

QWidget* PanelTest::Control(int controlId) const {
    return panel_->Control(controlId);
}

QString PanelTest::Text(int controlId) const {
    return QString::fromStdString(panel_->ControlText(controlId));
}

void PanelTest::Click(int controlId) {
    QTest::mouseClick(Control(controlId), Qt::LeftButton);
}

void PanelTest::OpenAndWaitForConfiguration() {
    Click(IDC_OPEN_PORT);
    ASSERT_EQ(Text(IDC_OPEN_PORT), "ClosePort");
    ASSERT_TRUE(WaitUntil([&] { return host_->state.configured; }));
}

std::vector<std::vector<std::uint8_t>> PanelTest::ReceivedFrames() const {
    std::vector<std::vector<std::uint8_t>> frames;
    for (const simulator::LineEvent& event : module_->Received()) {
        if (event.verdict == "valid") {
            frames.push_back(event.bytes);
        }
    }
    return frames;
}

int PanelTest::Count(const QueryFrame& frame) const {
    int count = 0;
    for (const auto& received : ReceivedFrames()) {
        count += std::equal(received.begin(), received.end(), frame.begin(), frame.end());
    }
    return count;
}

std::vector<int> PanelTest::SetValues() const {
    std::vector<int> values;
    for (const auto& frame : ReceivedFrames()) {
        if (frame.size() == kSetFrameSize &&
            (frame[kCodeIndex] == CMD_SET_A || frame[kCodeIndex] == CMD_SET_B)) {
            values.push_back(frame[kDataIndex] * 256 + frame[kDataIndex + 1]);
        }
    }
    return values;
}

bool RunEventsUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
    constexpr int kCheckPeriodMs = 2;
    QEventLoop loop;
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (condition() || elapsed.hasExpired(bound.count())) {
            loop.quit();
        }
    });
    if (condition()) {
        return true;
    }
    check.start(kCheckPeriodMs);
    loop.exec();
    return condition();
}

bool RunXdotool(const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>("xdotool")};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    int status = 0;
    bool exited = false;
    RunEventsUntil([&] {
        exited = exited || waitpid(pid, &status, WNOHANG) == pid;
        return exited;
    });
    if (!exited) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool PanelTest::WaitUntil(const std::function<bool()>& condition) {
    return RunEventsUntil(condition);
}

void PanelTest::SaveScreenshot(const QString& fileName) const {
    const QString directory = QStringLiteral(DRIVERPANEL_ARTIFACTS_DIR);
    QDir().mkpath(directory);
    const QString path = QDir(directory).filePath(fileName);
    EXPECT_TRUE(panel_->grab().save(path)) << path.toStdString();
}
