// A held step button with real mouse input: xdotool presses and releases the X server's pointer
// on Xvfb, so Qt sees the button as it sees an operator's mouse, also a release that reaches the
// panel while a box blocks it. The repeat must end there, and no set frame may follow.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QMessageBox>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "panel/panel_timing.h"
#include "panel_fixture.h"
#include "resources/resource.h"
#include "serial/port_error.h"

namespace {

// Long enough for several repeat ticks to fall due, had the repeat gone on.
constexpr std::chrono::milliseconds kRepeatTicksLong{kStepRepeatPeriodMs * 6};

class HeldStepButton : public PanelTest {
  protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"))
            << "runs on an X display (ctest starts Xvfb for it)";
        StartSimulator();
        BuildPanel();
        panel_->activateWindow();
        ASSERT_TRUE(WaitUntil([&] { return panel_->isActiveWindow(); }));
        OpenAndWaitForConfiguration();
    }

    void TearDown() override {
        if (!HasFatalFailure()) {
            Xdotool({"mouseup", "1"});
        }
    }

    static void Xdotool(const std::vector<std::string>& arguments) {
        ASSERT_TRUE(RunXdotool(arguments)) << "xdotool " << arguments.front();
    }

    // Presses the left button over 》 and holds it until a few repeats have gone out.
    void HoldStepUp() {
        QWidget* up = Control(IDC_STEP_UP);
        const QPoint centre = up->mapToGlobal(up->rect().center());
        Xdotool({"mousemove", std::to_string(centre.x()), std::to_string(centre.y()), "mousedown",
                 "1"});
        ASSERT_TRUE(WaitUntil([&] { return SetValues().size() >= 3; })) << "the repeat runs";
        ASSERT_TRUE(panel_->IsLeftButtonDown());
    }

    // After the repeat has ended: nothing more is stepped or sent, and polling is back.
    void ExpectNoFurtherSteps() {
        const std::int32_t last = host_->state.setpointA;
        RunEventsUntil([] { return false; }, kRepeatTicksLong);
        EXPECT_EQ(host_->state.setpointA, last);
        ASSERT_FALSE(SetValues().empty());
        EXPECT_EQ(SetValues().back(), last);
        EXPECT_FALSE(panel_->Timers().IsRunning(TIMER_STEP_UP));
        EXPECT_TRUE(panel_->Timers().IsRunning(TIMER_POLL));
        EXPECT_EQ(host_->state.repeatCount, 0);
    }
};

// The port's "Application Error" box opens while 》 is held, and the button is released while the
// box is up: the panel itself never gets the release.
TEST_F(HeldStepButton, EndsWhenReleasedWhileABoxIsUp) {
    HoldStepUp();
    // As the port's box is: no owner, blocking the whole application until OK.
    auto box = std::make_unique<QMessageBox>(QMessageBox::Critical,
                                             QString::fromUtf8(kApplicationErrorTitle),
                                             QStringLiteral("WriteFile failed"), QMessageBox::Ok);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    Xdotool({"mouseup", "1"});
    ASSERT_TRUE(WaitUntil([&] { return !panel_->IsLeftButtonDown(); }))
        << "Qt records the release although the box kept it from the panel";
    ASSERT_TRUE(WaitUntil([&] { return !panel_->Timers().IsRunning(TIMER_STEP_UP); }))
        << "the repeat ends, by the box's activation or by the next tick";
    ExpectNoFurtherSteps();
    box->done(QMessageBox::Ok);
    ExpectNoFurtherSteps();
}

// Another window takes the focus while 》 is held: the button no longer reaches the panel, so
// its repeat ends at once, though the button is still down.
TEST_F(HeldStepButton, EndsWhenAnotherWindowTakesActivation) {
    HoldStepUp();
    QWidget other;
    other.setWindowTitle(QStringLiteral("another program"));
    other.resize(100, 100);
    other.move(600, 400);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    Xdotool({"windowfocus", std::to_string(other.winId())});
    ASSERT_TRUE(WaitUntil([&] { return !panel_->Timers().IsRunning(TIMER_STEP_UP); }));
    EXPECT_TRUE(panel_->IsLeftButtonDown());
    ExpectNoFurtherSteps();
}

}  // namespace
