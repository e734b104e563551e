// The mouse wheel and the setpoint slider, with real input: xdotool turns the wheel on the X
// server, so the event comes the way an operator's would.
#include <QComboBox>
#include <QEvent>
#include <QSlider>
#include <filesystem>

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

constexpr const char* kWheelAway = "4";    // one notch away from the operator
constexpr const char* kWheelToward = "5";  // one notch toward the operator

// Moves the pointer to the widget's centre and turns the wheel one notch, in one xdotool run so
// that the X server takes the two in that order.
bool TurnWheelOver(const QWidget& widget, const char* notch = kWheelAway) {
    const QPoint centre = widget.mapToGlobal(widget.rect().center());
    return RunXdotool(
        {"mousemove", std::to_string(centre.x()), std::to_string(centre.y()), "click", notch});
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

// The same rule for the port list: a wheel passing over it must not change the port the next
// OpenPort opens.
TEST_F(SliderWheelTest, TheWheelChangesThePortOnlyWhileTheListHasTheFocus) {
    StartSimulator();
    std::filesystem::create_symlink(module_->Path(), portDirectory_ / "another");
    BuildPanel();
    panel_->activateWindow();
    auto* list = static_cast<QComboBox*>(Control(IDC_PORT_LIST));
    ASSERT_EQ(list->count(), 2);
    WheelCounter wheels;
    list->installEventFilter(&wheels);
    const int selected = list->currentIndex();

    Control(IDC_CURRENT)->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return Control(IDC_CURRENT)->hasFocus(); }));
    ASSERT_TRUE(TurnWheelOver(*list, selected == 0 ? kWheelToward : kWheelAway));
    ASSERT_TRUE(WaitUntil([&] { return wheels.count == 1; }));
    EXPECT_EQ(list->currentIndex(), selected);

    list->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return list->hasFocus(); }));
    ASSERT_TRUE(TurnWheelOver(*list, selected == 0 ? kWheelToward : kWheelAway));
    ASSERT_TRUE(WaitUntil([&] { return wheels.count == 2; }));
    EXPECT_NE(list->currentIndex(), selected);
}

}  // namespace
