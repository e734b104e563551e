// The current field and the readings with real keyboard and mouse input from the X server
// (xdotool on Xvfb), as an operator types. Assertions are on the set frames the module received.
#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QSlider>
#include <filesystem>
#include <string>
#include <vector>

#include "hosts/qt/accessible_names.h"
#include "panel_fixture.h"
#include "resources/resource.h"

namespace {

using Keys = std::vector<std::string>;  // xdotool key names, pressed in turn

// The panel on the module's 100 (maximum 500), the operator's pointer clicked into the field.
class CurrentFieldInput : public PanelTest {
  protected:
    void StartPanel(const simulator::ModuleConfig& config = {}) {
        StartSimulator(config);
        BuildPanel();
        panel_->activateWindow();
        OpenAndWaitForConfiguration();
        QWidget* field = Control(IDC_CURRENT);
        const QPoint centre = field->mapToGlobal(field->rect().center());
        ASSERT_TRUE(RunXdotool(
            {"mousemove", std::to_string(centre.x()), std::to_string(centre.y()), "click", "1"}));
        ASSERT_TRUE(WaitUntil([&] { return field->hasFocus(); }));
    }

    QSlider* Slider() const { return static_cast<QSlider*>(Control(IDC_SLIDER)); }

    static void Press(Keys keys) {
        keys.insert(keys.begin(), "key");
        ASSERT_TRUE(RunXdotool(keys));
    }

    // Presses Enter; the value of the set frame it sends.
    int Enter() {
        const std::size_t sent = SetValues().size();
        Press({"Return"});
        return WaitUntil([&] { return SetValues().size() > sent; }) ? SetValues().back() : -1;
    }
};

// What the operator does before Enter, and what must go out. A digit joined to the old text would
// send the maximum.
struct EditCase {
    const char* name;
    Keys keys;
    QString mouseSelection;  // not empty: then pasted with the middle button
    int sent;
};

void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.name;
}

class CurrentFieldEditing : public CurrentFieldInput,
                            public ::testing::WithParamInterface<EditCase> {};

TEST_P(CurrentFieldEditing, SendsWhatTheOperatorLeftInTheField) {
    StartPanel();
    Press(GetParam().keys);
    if (!GetParam().mouseSelection.isEmpty()) {
        // Set only now: selecting text in the field takes over the mouse selection.
        QGuiApplication::clipboard()->setText(GetParam().mouseSelection, QClipboard::Selection);
        ASSERT_TRUE(RunXdotool({"click", "2"}));
    }
    EXPECT_EQ(Enter(), GetParam().sent) << Text(IDC_CURRENT).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Operator, CurrentFieldEditing,
    ::testing::Values(EditCase{"SelectAllThenZero", {"ctrl+a", "0"}, {}, 0},
                      EditCase{"CutThenType", {"ctrl+a", "ctrl+x", "2", "5"}, {}, 25},
                      EditCase{"UndoTheClearedField", {"ctrl+a", "BackSpace", "ctrl+z"}, {}, 100},
                      EditCase{"MiddleButtonPastesANumber", {"ctrl+a", "BackSpace"}, "250", 250},
                      EditCase{"MiddleButtonRefusesAnExponent", {"ctrl+a", "4"}, "1e3", 4}),
    [](const auto& param) { return param.param.name; });

// A reply that rewrites the field between Ctrl+A and the first digit: the digit replaces it.
TEST_F(CurrentFieldInput, SelectAllOutlastsAReplyBeforeTheFirstDigit) {
    StartPanel();
    Press({"ctrl+a"});
    ASSERT_TRUE(WaitUntil(
        [&] { return static_cast<QLineEdit*>(Control(IDC_CURRENT))->hasSelectedText(); }));
    panel_->SetControlText(IDC_CURRENT, "300");  // as the reply writes it
    Press({"BackSpace", "4"});
    EXPECT_EQ(Enter(), 4);
}

// A reply carrying the setpoint lands after the operator cleared the field and typed the 4 of
// 470: a late confirmation of the value sent before, or the configuration that a re-open after a
// device change asks for. The slider follows the module, the typed digits stay, 470 goes out.
class ReplyWhileTyping : public CurrentFieldInput, public ::testing::WithParamInterface<bool> {};

TEST_P(ReplyWhileTyping, LeavesTheTypedDigitsAlone) {
    const bool lateConfirmation = GetParam();
    simulator::ModuleConfig config;
    config.faults.replyDelay = std::chrono::milliseconds(lateConfirmation ? 700 : 0);
    StartPanel(config);
    if (lateConfirmation) {
        Press({"ctrl+a", "3", "0", "0"});
        ASSERT_EQ(Enter(), 300);
    }
    const int queries = Count(kQueryConfigFrame);
    Press({"ctrl+a", "BackSpace", "4"});
    ASSERT_EQ(Slider()->value(), 100) << "the reply came before the 4";
    if (lateConfirmation) {
        ASSERT_TRUE(WaitUntil([&] { return Slider()->value() == 300; }));
    } else {
        std::filesystem::create_symlink(module_->Path(), portDirectory_ / "another");
        ASSERT_TRUE(WaitUntil([&] { return Count(kQueryConfigFrame) > queries; }));
        ASSERT_TRUE(WaitUntil([&] { return host_->state.configured; }));
    }
    Press({"7", "0"});
    EXPECT_EQ(Enter(), 470) << Text(IDC_CURRENT).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Replies, ReplyWhileTyping, ::testing::Values(true, false),
                         [](const auto& param) {
                             return param.param ? "LateConfirmation" : "ReopenConfiguration";
                         });

// The readings go stale (greyed, last text kept, described so) while the port is closed, and
// turn normal at the first readings after it opens again.
TEST_F(CurrentFieldInput, ReadingsShowStaleWhileNothingRefreshesThem) {
    StartPanel();
    ASSERT_TRUE(
        WaitUntil([&] { return !Text(IDC_LD_TEMP).isEmpty() && !Text(IDC_POWER).isEmpty(); }));
    const QColor greyed = panel_->palette().color(QPalette::Disabled, QPalette::WindowText);
    const auto stale = [&](bool expected) {
        return WaitUntil([&] {
            bool all = true;
            for (const int id : {IDC_LD_TEMP, IDC_POWER}) {
                QWidget* reading = Control(id);
                all = all &&
                      (reading->palette().color(QPalette::WindowText) == greyed) == expected &&
                      QAccessible::queryAccessibleInterface(reading)->text(
                          QAccessible::Description) ==
                          (expected ? QString::fromUtf8(kStaleReadingDescription) : QString());
            }
            return all;
        });
    };
    EXPECT_TRUE(stale(false));
    const QString temperature = Text(IDC_LD_TEMP);
    Click(IDC_OPEN_PORT);  // closes
    EXPECT_TRUE(stale(true));
    EXPECT_EQ(Text(IDC_LD_TEMP), temperature);
    SaveScreenshot(QStringLiteral("panel-qt-stale-readings.png"));
    OpenAndWaitForConfiguration();
    EXPECT_TRUE(stale(false));
}

}  // namespace
