// The mouse wheel and the setpoint slider, with real input: xdotool turns the wheel on the X
// server, so the event comes the way an operator's would.
#include <QEvent>
#include <QSlider>

#include "panel_fixture.h"
#include "resources/resource.h"

namespace {

// Counts the wheel events a widget receives, so the test knows when one has been handled.
class WheelCounter : public QObject {
  public:
    int count = 0;

  protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        count += event->type() == QEvent::Wheel;
        return false;
    }
};

// Moves the pointer to the widget's centre and turns the wheel one notch away from the operator,
// in one xdotool run so that the X server takes the two in that order.
bool TurnWheelOver(const QWidget& widget) {
    const QPoint centre = widget.mapToGlobal(widget.rect().center());
    return RunXdotool(
        {"mousemove", std::to_string(centre.x()), std::to_string(centre.y()), "click", "4"});
}

using SliderWheelTest = PanelTest;

TEST_F(SliderWheelTest, TheWheelMovesTheCurrentOnlyWhileTheSliderHasTheFocus) {
    StartSimulator();
    BuildPanel();
    panel_->activateWindow();
    OpenAndWaitForConfiguration();
    auto* slider = static_cast<QSlider*>(Control(IDC_SLIDER));
    WheelCounter wheels;
    slider->installEventFilter(&wheels);
    const int confirmed = slider->value();

    // The pointer passes over the slider while the current field has the focus.
    Control(IDC_CURRENT)->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return Control(IDC_CURRENT)->hasFocus(); }));
    ASSERT_TRUE(TurnWheelOver(*slider));
    ASSERT_TRUE(WaitUntil([&] { return wheels.count == 1; }));
    const int polls = Count(kQueryTempFrame);
    ASSERT_TRUE(WaitUntil([&] { return Count(kQueryTempFrame) >= polls + 2; }));
    EXPECT_EQ(slider->value(), confirmed);
    EXPECT_TRUE(SetValues().empty());

    // With the focus, the wheel moves it and the next poll sends the new position.
    slider->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return slider->hasFocus(); }));
    ASSERT_TRUE(TurnWheelOver(*slider));
    ASSERT_TRUE(WaitUntil([&] { return wheels.count == 2; }));
    const int moved = slider->value();
    EXPECT_NE(moved, confirmed);
    ASSERT_TRUE(WaitUntil([&] { return !SetValues().empty(); }));
    EXPECT_EQ(SetValues(), std::vector<int>{moved});
}

}  // namespace
