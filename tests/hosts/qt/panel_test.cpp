// The panel driving the simulated module through real widgets: opening, configuration, polling,
// typed values, the step buttons, device changes and closing. Assertions are on what the module
// received and on what the panel shows.
#include <gtest/gtest.h>

#include <QtTest/qtestspontaneevent.h>
#include <poll.h>
#include <QComboBox>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <set>

#include "hosts/qt/number_edit.h"
#include "hosts/qt/tick_slider.h"
#include "panel/panel_timing.h"
#include "panel_fixture.h"

namespace {

const std::vector<int> kAllTimers{TIMER_POLL, TIMER_STEP_DOWN, TIMER_STEP_UP, TIMER_CONFIG};

class PanelOnSimulator : public PanelTest {
  protected:
    void SetUp() override {
        StartSimulator();
        BuildPanel();
    }

    CNumberEdit* Current() const { return static_cast<CNumberEdit*>(Control(IDC_CURRENT)); }
    CTickSlider* Slider() const { return static_cast<CTickSlider*>(Control(IDC_SLIDER)); }
    QComboBox* PortList() const { return static_cast<QComboBox*>(Control(IDC_PORT_LIST)); }

    bool AnyTimerRunning() const {
        return std::any_of(kAllTimers.begin(), kAllTimers.end(),
                           [&](int id) { return panel_->Timers().IsRunning(id); });
    }

    void TypeIntoCurrent(const QString& text) {
        Current()->setFocus();
        QTest::keyClick(Current(), Qt::Key_End);
        while (!Current()->text().isEmpty()) {
            QTest::keyClick(Current(), Qt::Key_Backspace);
        }
        QTest::keyClicks(Current(), text);
    }

    // A key press as the window system delivers it, optionally as an auto-repeat.
    static void PressKey(QWidget* widget, Qt::Key key, const QString& text, bool autoRepeat) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text, autoRepeat);
        QSpontaneKeyEvent::setSpontaneous(&press);
        QApplication::instance()->notify(widget, &press);
    }

    // Whether the panel has handled every hot-plug event so far.
    bool HotPlugHandled() const {
        pollfd fd{host_->watcher.FileDescriptor(), POLLIN, 0};
        return poll(&fd, 1, 0) == 0;
    }
};

TEST_F(PanelOnSimulator, OpensConfiguresPollsAndCloses) {
    ASSERT_EQ(PortList()->count(), 1);
    EXPECT_EQ(PortList()->currentText(), QString::fromLatin1(kSimulatorLinkName));
    EXPECT_TRUE(Text(IDC_LD_TEMP).isEmpty());
    EXPECT_EQ(Slider()->maximum(), 100);  // the slider's own range until configured

    OpenAndWaitForConfiguration();
    EXPECT_FALSE(PortList()->isEnabled());
    EXPECT_GE(Count(kQueryConfigFrame), 1);
    EXPECT_EQ(Text(IDC_CURRENT), "100");
    EXPECT_EQ(Slider()->maximum(), 500);
    EXPECT_EQ(Slider()->value(), 100);

    ASSERT_TRUE(
        WaitUntil([&] { return !Text(IDC_LD_TEMP).isEmpty() && !Text(IDC_POWER).isEmpty(); }));
    EXPECT_GE(Count(kQueryTempFrame), 1);
    EXPECT_GE(Count(kQueryPowerFrame), 1);
    EXPECT_TRUE(panel_->Timers().IsRunning(TIMER_POLL));
    EXPECT_FALSE(panel_->Timers().IsRunning(TIMER_CONFIG));
    SaveScreenshot(QStringLiteral("panel-qt.png"));

    Click(IDC_OPEN_PORT);
    EXPECT_EQ(Text(IDC_OPEN_PORT), "OpenPort");
    EXPECT_TRUE(PortList()->isEnabled());
    EXPECT_EQ(PortList()->count(), 1);
    EXPECT_FALSE(host_->state.portOpen);
    EXPECT_FALSE(AnyTimerRunning());

    // Re-opening asks for the configuration again: closing forgot it.
    const int configQueries = Count(kQueryConfigFrame);
    OpenAndWaitForConfiguration();
    EXPECT_GT(Count(kQueryConfigFrame), configQueries);
}

TEST_F(PanelOnSimulator, EnterAndSetApplyTheTypedValue) {
    OpenAndWaitForConfiguration();

    TypeIntoCurrent(QStringLiteral("123"));
    QTest::keyClick(Current(), Qt::Key_Return);
    EXPECT_TRUE(panel_->isVisible());
    ASSERT_TRUE(WaitUntil([&] { return SetValues() == std::vector<int>{123}; }));
    // The module confirms, and the slider follows.
    ASSERT_TRUE(WaitUntil([&] { return Slider()->value() == 123; }));

    TypeIntoCurrent(QStringLiteral("45.9"));
    Click(IDC_SET);
    ASSERT_TRUE(WaitUntil([&] { return SetValues().size() == 2; }));
    EXPECT_EQ(SetValues().back(), 45);
    ASSERT_TRUE(WaitUntil([&] { return Slider()->value() == 45; }));  // confirmed

    // Held Enter applies again with every repeat.
    TypeIntoCurrent(QStringLiteral("77"));
    for (bool autoRepeat : {false, true, true}) {
        const std::size_t sent = SetValues().size();
        PressKey(Current(), Qt::Key_Return, QStringLiteral("\r"), autoRepeat);
        ASSERT_TRUE(WaitUntil([&] { return SetValues().size() == sent + 1; }));
        EXPECT_EQ(SetValues().back(), 77);
    }
    EXPECT_EQ(Text(IDC_CURRENT), "77");  // the carriage return typed nothing
}

TEST_F(PanelOnSimulator, EnterAndEscapeNeitherCloseNorClick) {
    OpenAndWaitForConfiguration();
    Control(IDC_OPEN_PORT)->setFocus();
    QTest::keyClick(Control(IDC_OPEN_PORT), Qt::Key_Return);
    EXPECT_TRUE(panel_->isVisible());
    QTest::keyClick(Control(IDC_OPEN_PORT), Qt::Key_Escape);
    EXPECT_TRUE(panel_->isVisible());
    QTest::keyClick(Current(), Qt::Key_Escape);
    EXPECT_TRUE(panel_->isVisible());
    QTest::keyClick(panel_.get(), Qt::Key_Escape);
    EXPECT_TRUE(panel_->isVisible());
    EXPECT_EQ(Text(IDC_OPEN_PORT), "ClosePort");
    EXPECT_TRUE(host_->state.portOpen);
}

TEST_F(PanelOnSimulator, EmptyFieldWarnsInABoxOwnedByThePanel) {
    OpenAndWaitForConfiguration();
    TypeIntoCurrent(QString());
    QString title, text;
    bool owned = false, iconless = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        owned = box->parentWidget() == panel_.get();
        iconless = box->icon() == QMessageBox::NoIcon;
        box->accept();
    });
    Click(IDC_SET);
    EXPECT_EQ(title, "Warning!");
    EXPECT_EQ(text, "Format Error!");
    EXPECT_TRUE(owned);
    EXPECT_TRUE(iconless);
    EXPECT_TRUE(SetValues().empty());
}

TEST_F(PanelOnSimulator, StepButtonsRepeatWhileHeldAndStepOnceOnClick) {
    OpenAndWaitForConfiguration();
    QWidget* up = Control(IDC_STEP_UP);

    QTest::mousePress(up, Qt::LeftButton);
    EXPECT_TRUE(panel_->Timers().IsRunning(TIMER_STEP_UP));
    EXPECT_FALSE(panel_->Timers().IsRunning(TIMER_POLL));
    ASSERT_TRUE(WaitUntil([&] { return SetValues().size() >= 6; }));
    const int tempQueries = Count(kQueryTempFrame);
    QTest::mouseRelease(up, Qt::LeftButton);
    EXPECT_FALSE(panel_->Timers().IsRunning(TIMER_STEP_UP));
    EXPECT_TRUE(panel_->Timers().IsRunning(TIMER_POLL));
    // Once polling is back, every set frame of the hold and the release has arrived.
    ASSERT_TRUE(WaitUntil([&] { return Count(kQueryTempFrame) > tempQueries; }));

    // Tick n steps by n / 5 + 1; the release over the button clicks it: one more step of 1.
    const std::vector<int> values = SetValues();
    std::vector<int> expected;
    int setpoint = 100;
    for (std::size_t tick = 1; tick < values.size(); ++tick) {
        setpoint += static_cast<int>(tick) / kRepeatTicksPerStepSize + 1;
        expected.push_back(setpoint);
    }
    expected.push_back(setpoint + 1);
    EXPECT_EQ(values, expected);

    // A click on 《 is one step down from there.
    const int top = values.back();
    QTest::mouseClick(Control(IDC_STEP_DOWN), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return SetValues().back() == top - 1; }));

    // The second press of a double-click starts no repeat.
    QTest::mouseDClick(up, Qt::LeftButton);
    EXPECT_FALSE(panel_->Timers().IsRunning(TIMER_STEP_UP));
    QTest::mouseRelease(up, Qt::LeftButton);
}

struct SliderCase {
    const char* name;
    simulator::ModuleConfig config;
    int maximum;
    int position;
    std::set<int> ticks;
};

void PrintTo(const SliderCase& c, std::ostream* os) {
    *os << c.name;
}

simulator::ModuleConfig Config(std::uint8_t variant, std::uint16_t setpoint,
                               std::uint16_t maximum) {
    simulator::ModuleConfig config;
    config.variant = variant;
    config.setpointA = config.setpointB = setpoint;
    config.maximumA = config.maximumB = maximum;
    return config;
}

class SliderAfterConfiguration : public PanelTest,
                                 public ::testing::WithParamInterface<SliderCase> {};

TEST_P(SliderAfterConfiguration, HasTheModulesRangeTicksAndPosition) {
    const SliderCase& c = GetParam();
    StartSimulator(c.config);
    BuildPanel();
    OpenAndWaitForConfiguration();
    CTickSlider* slider = static_cast<CTickSlider*>(Control(IDC_SLIDER));
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), c.maximum);
    EXPECT_EQ(slider->value(), c.position);
    EXPECT_EQ(slider->Ticks(), c.ticks);
    EXPECT_EQ(Text(IDC_CURRENT), QString::number(c.position));
}

INSTANTIATE_TEST_SUITE_P(
    Configurations, SliderAfterConfiguration,
    ::testing::Values(SliderCase{"VariantB",
                                 Config(2, 250, 1000),
                                 1000,
                                 250,
                                 {100, 200, 300, 400, 500, 600, 700, 800, 900}},
                      // Tenths of 15 in whole numbers are not evenly spaced.
                      SliderCase{
                          "UnevenTenths", Config(1, 7, 15), 15, 7, {1, 3, 4, 6, 7, 9, 10, 12, 13}}),
    [](const ::testing::TestParamInfo<SliderCase>& param) { return param.param.name; });

TEST_F(PanelOnSimulator, DeviceChangeWithThePortPresentReopensItAndAsksForTheConfiguration) {
    OpenAndWaitForConfiguration();
    const int configQueries = Count(kQueryConfigFrame);

    // Another serial device arrives.
    std::filesystem::create_symlink(module_->Path(), portDirectory_ / "another");
    ASSERT_TRUE(WaitUntil([&] { return HotPlugHandled(); }));
    EXPECT_TRUE(host_->state.portOpen);
    EXPECT_EQ(Text(IDC_OPEN_PORT), "ClosePort");
    EXPECT_FALSE(PortList()->isEnabled());

    // The re-opened port is asked for its configuration again, and polling resumes with it.
    ASSERT_TRUE(WaitUntil([&] { return host_->state.configured; }));
    EXPECT_GT(Count(kQueryConfigFrame), configQueries);
    const int tempQueries = Count(kQueryTempFrame);
    ASSERT_TRUE(WaitUntil([&] { return Count(kQueryTempFrame) > tempQueries + 1; }));
}

// The panel times the bytes of a reply by its own clock: bytes 20 ms apart, as a slow adapter
// hands them on, still make replies, while bytes 150 ms apart never do, so the panel stays
// unconfigured and asks for nothing but the configuration.
class RepliesByteByByte : public PanelTest {
  protected:
    void StartWithByteGap(int gapMs) {
        simulator::ModuleConfig config;
        config.faults.byteGap = std::chrono::milliseconds(gapMs);
        StartSimulator(config);
        BuildPanel();
    }
};

TEST_F(RepliesByteByByte, TakenWhenTheBytesComeWithinTheGapLimit) {
    StartWithByteGap(20);
    OpenAndWaitForConfiguration();
    EXPECT_EQ(Text(IDC_CURRENT), "100");
    ASSERT_TRUE(
        WaitUntil([&] { return !Text(IDC_LD_TEMP).isEmpty() && !Text(IDC_POWER).isEmpty(); }));
}

TEST_F(RepliesByteByByte, NeverTakenWhenEveryByteComesLate) {
    StartWithByteGap(150);
    Click(IDC_OPEN_PORT);
    // Eighteen queries, one every 200 ms: by then the first whole reply, 19 bytes, has come.
    ASSERT_TRUE(
        WaitUntil([&] { return host_->state.configured || Count(kQueryConfigFrame) >= 18; }));
    EXPECT_FALSE(host_->state.configured);
    EXPECT_EQ(Count(kQueryTempFrame), 0);
    EXPECT_TRUE(Text(IDC_CURRENT).isEmpty());
}

TEST_F(PanelOnSimulator, DeviceChangeWithThePortGoneClosesAndRebuildsTheList) {
    OpenAndWaitForConfiguration();
    StopSimulatorLine();
    ASSERT_TRUE(WaitUntil([&] { return Text(IDC_OPEN_PORT) == "OpenPort"; }));
    ASSERT_TRUE(WaitUntil([&] { return HotPlugHandled(); }));
    EXPECT_FALSE(host_->state.portOpen);
    EXPECT_FALSE(host_->state.configured);
    EXPECT_TRUE(PortList()->isEnabled());
    EXPECT_EQ(PortList()->count(), 0);
    EXPECT_FALSE(AnyTimerRunning());
}

TEST_F(PanelOnSimulator, ClosingThePanelWithThePortOpenEndsWithoutABox) {
    OpenAndWaitForConfiguration();
    ASSERT_TRUE(WaitUntil([&] { return !Text(IDC_POWER).isEmpty(); }));
    panel_->reject();
    EXPECT_FALSE(panel_->isVisible());
    panel_.reset();
    host_.reset();  // the port object closes the port here
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(w->isVisible() && qobject_cast<QMessageBox*>(w) != nullptr);
    }
}

}  // namespace
