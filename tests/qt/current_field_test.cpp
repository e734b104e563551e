// The current field and the readings with real keyboard and mouse input from the X server
// (xdotool on Xvfb), as an operator types: the editing shortcuts and the mouse selection reach
// the field, a reply that lands while the operator types leaves the typed digits alone, and a
// stale reading shows so. Assertions are on the set frames the module received.
#include <poll.h>

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QSlider>
#include <QTest>
#include <filesystem>
#include <string>
#include <vector>

#include "panel/qt/accessible_names.h"
#include "panel_fixture.h"
#include "resources/resource.h"

namespace {

using Keys = std::vector<std::string>;  // xdotool key names, pressed in turn

class CurrentFieldInput : public PanelTest {
  protected:
    void StartPanel(const simulator::ModuleConfig& config = {}) {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"))
            << "runs on an X display (ctest starts Xvfb for it)";
        StartSimulator(config);
        BuildPanel();
        panel_->activateWindow();
        ASSERT_TRUE(WaitUntil([&] { return panel_->isActiveWindow(); }));
        OpenAndWaitForConfiguration();
    }

    QSlider* Slider() const { return static_cast<QSlider*>(Control(IDC_SLIDER)); }

    // Clicks into the current field, as the operator does before typing there.
    void ClickIntoField() {
        QWidget* field = Control(IDC_CURRENT);
        const QPoint centre = field->mapToGlobal(field->rect().center());
        Xdotool(
            {"mousemove", std::to_string(centre.x()), std::to_string(centre.y()), "click", "1"});
        ASSERT_TRUE(WaitUntil([&] { return field->hasFocus(); }));
    }

    static void Xdotool(const std::vector<std::string>& arguments) {
        ASSERT_TRUE(RunXdotool(arguments)) << "xdotool " << arguments.front();
    }

    static void Press(const Keys& keys) {
        if (keys.empty()) {
            return;
        }
        std::vector<std::string> arguments{"key"};
        arguments.insert(arguments.end(), keys.begin(), keys.end());
        Xdotool(arguments);
    }

    // Presses Enter and waits for the set frame it sends; its value.
    int EnterAndWaitForSetFrame() {
        const std::size_t sent = SetValues().size();
        Press({"Return"});
        if (!WaitUntil([&] { return SetValues().size() > sent; })) {
            ADD_FAILURE() << "Enter sent no set frame";
            return -1;
        }
        return SetValues().back();
    }

    // Whether the panel has handled every hot-plug event so far.
    bool HotPlugHandled() const {
        pollfd fd{host_->watcher.FileDescriptor(), POLLIN, 0};
        return poll(&fd, 1, 0) == 0;
    }
};

// What the operator does in the field showing the module's 100 (maximum 500) before pressing
// Enter, and the value that must go out. Clamped to the maximum, a digit joined to the old text
// would send 500.
struct EditCase {
    const char* name;
    Keys keys;
    QString selection;  // not empty: then pasted with the middle button, as X11 pastes it
    Keys keysAfter;
    int sent;
};

void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.name;
}

class CurrentFieldEditing : public CurrentFieldInput,
                            public ::testing::WithParamInterface<EditCase> {};

TEST_P(CurrentFieldEditing, SendsWhatTheOperatorLeftInTheField) {
    const EditCase& c = GetParam();
    StartPanel();
    ASSERT_EQ(Text(IDC_CURRENT), "100");
    ClickIntoField();
    Press(c.keys);
    if (!c.selection.isEmpty()) {
        // Set only now: selecting text in the field takes over the mouse selection.
        QGuiApplication::clipboard()->setText(c.selection, QClipboard::Selection);
        Xdotool({"click", "2"});
        RunEventsUntil([] { return false; }, std::chrono::milliseconds(200));
    }
    Press(c.keysAfter);
    EXPECT_EQ(EnterAndWaitForSetFrame(), c.sent) << "field: " << Text(IDC_CURRENT).toStdString();
    EXPECT_EQ(SetValues().size(), 1U);
}

INSTANTIATE_TEST_SUITE_P(
    Operator, CurrentFieldEditing,
    ::testing::Values(
        EditCase{"SelectAllThenZero", {"ctrl+a", "0"}, {}, {}, 0},
        EditCase{"CutThenType", {"ctrl+a", "ctrl+x", "2", "5"}, {}, {}, 25},
        EditCase{"UndoTheClearedField", {"ctrl+a", "BackSpace", "ctrl+z"}, {}, {}, 100},
        // The mouse selection goes in through the filter, whole or not at all.
        EditCase{"MiddleButtonPastesANumber", {"ctrl+a", "BackSpace"}, "250", {}, 250},
        EditCase{"MiddleButtonRefusesAnExponent",
                 {"ctrl+a", "BackSpace", "4"},
                 "1e3",
                 {"End", "7"},
                 47}),
    [](const ::testing::TestParamInfo<EditCase>& param) { return param.param.name; });

// A reply that carries the setpoint lands while the operator, having cleared the field, has typed
// the first digit of 470: a late confirmation of the value sent before, or the configuration that
// a re-open after a device change asks for. The slider follows the module; the typed digits are
// left alone, so 470 goes out. Once applied, the field follows the module again.
enum class ReplyLanding { LateConfirmation, ReopenConfiguration };

class ReplyWhileTyping : public CurrentFieldInput,
                         public ::testing::WithParamInterface<ReplyLanding> {};

TEST_P(ReplyWhileTyping, LeavesTheTypedDigitsAlone) {
    const bool late = GetParam() == ReplyLanding::LateConfirmation;
    simulator::ModuleConfig config;
    if (late) {
        // Late, but within the time in which the panel waits for a confirmation.
        config.faults.replyDelay = std::chrono::milliseconds(700);
    }
    StartPanel(config);
    ClickIntoField();
    if (late) {
        Press({"ctrl+a", "3", "0", "0"});
        ASSERT_EQ(EnterAndWaitForSetFrame(), 300);
    }
    const int configQueries = Count(kQueryConfigFrame);
    Press({"ctrl+a", "BackSpace", "4"});
    ASSERT_TRUE(WaitUntil([&] { return Text(IDC_CURRENT) == "4"; }));
    ASSERT_EQ(Slider()->value(), 100) << "the reply came before the operator typed";

    if (late) {
        ASSERT_TRUE(WaitUntil([&] { return Slider()->value() == 300; }));
    } else {
        std::filesystem::create_symlink(module_->Path(), portDirectory_ / "another");
        ASSERT_TRUE(WaitUntil([&] {
            return HotPlugHandled() && Count(kQueryConfigFrame) > configQueries &&
                   host_->state.configured;
        }));
    }
    EXPECT_EQ(Text(IDC_CURRENT), "4");

    Press({"7", "0", "period", "5"});
    EXPECT_EQ(EnterAndWaitForSetFrame(), 470);
    // The confirmation of 470 writes the field again: the applied text is no longer an edit.
    EXPECT_TRUE(WaitUntil([&] { return Text(IDC_CURRENT) == "470"; }))
        << "field: " << Text(IDC_CURRENT).toStdString();
    EXPECT_EQ(Slider()->value(), 470);
}

INSTANTIATE_TEST_SUITE_P(Replies, ReplyWhileTyping,
                         ::testing::Values(ReplyLanding::LateConfirmation,
                                           ReplyLanding::ReopenConfiguration),
                         [](const ::testing::TestParamInfo<ReplyLanding>& param) {
                             return param.param == ReplyLanding::LateConfirmation
                                        ? "LateConfirmation"
                                        : "ReopenConfiguration";
                         });

// A stale reading keeps its text, greyed, and says so to a screen reader; the other reading is
// left as it is; back to fresh, it looks as before.
class StaleReading : public CurrentFieldInput, public ::testing::WithParamInterface<int> {};

TEST_P(StaleReading, GreysAndSaysSoThenTurnsNormal) {
    const int reading = GetParam();
    const int other = reading == IDC_LD_TEMP ? IDC_POWER : IDC_LD_TEMP;
    StartPanel();
    ASSERT_TRUE(
        WaitUntil([&] { return !Text(IDC_LD_TEMP).isEmpty() && !Text(IDC_POWER).isEmpty(); }));
    module_->Stop();  // nothing rewrites the readings meanwhile
    auto* label = static_cast<QLabel*>(Control(reading));
    const QString text = label->text();
    const QPalette panelColours = panel_->palette();
    const QColor normal = panelColours.color(QPalette::Active, QPalette::WindowText);
    const QColor greyed = panelColours.color(QPalette::Disabled, QPalette::WindowText);
    ASSERT_NE(normal, greyed);
    const auto description = [&](int id) {
        return QAccessible::queryAccessibleInterface(Control(id))->text(QAccessible::Description);
    };

    panel_->SetReadingStale(reading, true);
    EXPECT_EQ(label->text(), text);
    EXPECT_EQ(label->palette().color(QPalette::Active, QPalette::WindowText), greyed);
    EXPECT_EQ(label->palette().color(QPalette::Inactive, QPalette::WindowText), greyed);
    EXPECT_TRUE(label->isEnabled());
    EXPECT_EQ(description(reading).toStdString(), kStaleReadingDescription);
    EXPECT_EQ(Control(other)->palette().color(QPalette::Active, QPalette::WindowText), normal);
    EXPECT_TRUE(description(other).isEmpty());
    SaveScreenshot(QStringLiteral("panel-qt-stale-%1.png").arg(reading));

    panel_->SetReadingStale(reading, false);
    EXPECT_EQ(label->text(), text);
    EXPECT_EQ(label->palette().color(QPalette::Active, QPalette::WindowText), normal);
    EXPECT_TRUE(description(reading).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Readings, StaleReading, ::testing::Values(IDC_LD_TEMP, IDC_POWER),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return param.param == IDC_LD_TEMP ? "Temperature" : "Power";
                         });

}  // namespace
