// The current field's filter with real key events: what typing and the editing shortcuts leave in
// the field, and that a paste, by key or from the context menu, goes in whole or not at all.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <string>
#include <tuple>
#include <vector>

#include "panel/qt/number_edit.h"

namespace {

struct Key {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

struct TypingCase {
    const char* name;
    QString startText;
    bool selectAll;
    std::vector<Key> keys;
    QString expected;
};

void PrintTo(const TypingCase& c, std::ostream* os) {
    *os << c.name;
}

Key K(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return {key, modifiers};
}

class NumberEditTyping : public ::testing::TestWithParam<TypingCase> {};

TEST_P(NumberEditTyping, LeavesOnlyWhatTheFilterPasses) {
    const TypingCase& c = GetParam();
    QApplication::clipboard()->setText(QStringLiteral("987"));
    CNumberEdit edit;
    edit.setText(c.startText);
    if (c.selectAll) {
        edit.selectAll();
    }
    for (const Key& key : c.keys) {
        QTest::keyClick(&edit, key.key, key.modifiers);
    }
    EXPECT_EQ(edit.text(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, NumberEditTyping,
    ::testing::Values(
        TypingCase{"SignedDecimal",
                   "",
                   false,
                   {K(Qt::Key_Minus), K(Qt::Key_1), K(Qt::Key_Period), K(Qt::Key_5)},
                   "-1.5"},
        TypingCase{"PointIntoEmptyField", "", false, {K(Qt::Key_Period)}, ""},
        TypingCase{"SecondPoint", "1.2", false, {K(Qt::Key_Period), K(Qt::Key_3)}, "1.23"},
        TypingCase{"MinusAfterDigit", "7", false, {K(Qt::Key_Minus)}, "7"},
        // The whole text counts, not the selection it would replace.
        TypingCase{"MinusOverSelectedText", "12", true, {K(Qt::Key_Minus)}, "12"},
        TypingCase{"DigitOverSelectedText", "12", true, {K(Qt::Key_4)}, "4"},
        TypingCase{"Letters", "5", false, {K(Qt::Key_A), K(Qt::Key_E), K(Qt::Key_Space)}, "5"},
        TypingCase{"Backspace", "123", false, {K(Qt::Key_Backspace)}, "12"},
        // The editing shortcuts of a line edit; the clipboard holds 987.
        TypingCase{
            "CtrlAThenDigit", "12", false, {K(Qt::Key_A, Qt::ControlModifier), K(Qt::Key_3)}, "3"},
        TypingCase{"CtrlVAtTheCaret", "1", false, {K(Qt::Key_V, Qt::ControlModifier)}, "1987"},
        TypingCase{"ShiftInsertOverTheSelection",
                   "1",
                   true,
                   {K(Qt::Key_Insert, Qt::ShiftModifier)},
                   "987"},
        TypingCase{
            "CutThenPasteBack",
            "45",
            true,
            {K(Qt::Key_X, Qt::ControlModifier), K(Qt::Key_1), K(Qt::Key_V, Qt::ControlModifier)},
            "145"},
        TypingCase{"CopyLeavesTheText", "45", true, {K(Qt::Key_C, Qt::ControlModifier)}, "45"},
        TypingCase{"UndoThenRedo",
                   "",
                   false,
                   {K(Qt::Key_4), K(Qt::Key_Z, Qt::ControlModifier),
                    K(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier)},
                   "4"},
        TypingCase{"Undo", "", false, {K(Qt::Key_4), K(Qt::Key_Z, Qt::ControlModifier)}, ""},
        // Other control keys type control characters, which are discarded.
        TypingCase{"CtrlBackspaceAndCtrlK",
                   "12",
                   false,
                   {K(Qt::Key_Backspace, Qt::ControlModifier), K(Qt::Key_K, Qt::ControlModifier)},
                   "12"},
        TypingCase{"Enter", "8", false, {K(Qt::Key_Return), K(Qt::Key_Enter)}, "8"},
        // Keys that type nothing work as usual.
        TypingCase{"ArrowsAndDelete",
                   "123",
                   false,
                   {K(Qt::Key_Left), K(Qt::Key_Left), K(Qt::Key_Delete)},
                   "13"},
        TypingCase{
            "HomeThenMinusStillFiltered", "5", false, {K(Qt::Key_Home), K(Qt::Key_Minus)}, "5"}),
    [](const ::testing::TestParamInfo<TypingCase>& param) { return param.param.name; });

// A paste goes in only when each of its characters, typed in turn where it goes, would pass the
// filter; otherwise the field is left as it was, whichever way the paste came.
struct PasteCase {
    const char* name;
    QString startText;
    bool selectAll;
    QString clipboard;
    QString expected;
};

void PrintTo(const PasteCase& c, std::ostream* os) {
    *os << c.name;
}

enum class PasteBy { CtrlV, ContextMenu };

class NumberEditPaste : public ::testing::TestWithParam<std::tuple<PasteCase, PasteBy>> {
  protected:
    // Opens the field's context menu and, once it is up, triggers its Paste entry if enabled.
    static void PasteFromContextMenu(CNumberEdit& edit) {
        bool menuSeen = false;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) {
                return;
            }
            menuSeen = true;
            for (QAction* action : menu->actions()) {
                if (action->text().remove(QLatin1Char('&')).startsWith(QStringLiteral("Paste")) &&
                    action->isEnabled()) {
                    action->trigger();
                }
            }
            menu->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(1, 1),
                                edit.mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(&edit, &event);
        EXPECT_TRUE(menuSeen);
    }
};

TEST_P(NumberEditPaste, GoesInWholeOrNotAtAll) {
    const auto& [c, by] = GetParam();
    QApplication::clipboard()->setText(c.clipboard);
    CNumberEdit edit;
    edit.show();
    edit.setText(c.startText);
    if (c.selectAll) {
        edit.selectAll();
    }
    if (by == PasteBy::CtrlV) {
        QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    } else {
        PasteFromContextMenu(edit);
    }
    EXPECT_EQ(edit.text(), c.expected);
    EXPECT_EQ(edit.isModified(), c.expected != c.startText);
}

INSTANTIATE_TEST_SUITE_P(
    Clipboard, NumberEditPaste,
    ::testing::Combine(
        ::testing::Values(PasteCase{"DigitsOverTheSelection", "100", true, "0", "0"},
                          PasteCase{"SignedDecimalIntoEmpty", "", false, "-1.5", "-1.5"},
                          PasteCase{"TrailingLetters", "", false, "12abc", ""},
                          PasteCase{"Exponent", "9", true, "1e3", "9"},
                          PasteCase{"GroupingComma", "", false, "1,000", ""},
                          PasteCase{"SurroundingSpace", "", false, " 470\n", ""},
                          PasteCase{"SecondPoint", "2.", false, "5.5", "2."},
                          // The whole text counts, as for a typed minus.
                          PasteCase{"MinusOverSelectedText", "12", true, "-5", "12"},
                          PasteCase{"OtherScriptDigit", "", false, QString::fromUtf8("\u0663"), ""},
                          PasteCase{"Backspace", "12", false, QStringLiteral("\b"), "12"}),
        ::testing::Values(PasteBy::CtrlV, PasteBy::ContextMenu)),
    [](const ::testing::TestParamInfo<std::tuple<PasteCase, PasteBy>>& param) {
        return std::string(std::get<0>(param.param).name) +
               (std::get<1>(param.param) == PasteBy::CtrlV ? "_CtrlV" : "_ContextMenu");
    });

}  // namespace
