// The current field's filter with real key events: what typing leaves in the field, and that
// pasting from the context menu is not filtered.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTest>
#include <memory>
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
        // Control characters are discarded: no paste, no select-all, no undo.
        TypingCase{"CtrlV", "1", false, {K(Qt::Key_V, Qt::ControlModifier)}, "1"},
        TypingCase{"CtrlAThenDigit",
                   "12",
                   false,
                   {K(Qt::Key_A, Qt::ControlModifier), K(Qt::Key_3)},
                   "123"},
        TypingCase{"CtrlZ", "", false, {K(Qt::Key_4), K(Qt::Key_Z, Qt::ControlModifier)}, "4"},
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

TEST(NumberEditPaste, ContextMenuPasteIsNotFiltered) {
    QApplication::clipboard()->setText(QStringLiteral("-x1.2.3"));
    CNumberEdit edit;
    edit.setText(QStringLiteral("9"));
    edit.selectAll();
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QAction* paste = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->text().remove(QLatin1Char('&')).startsWith(QStringLiteral("Paste"))) {
            paste = action;
        }
    }
    ASSERT_NE(paste, nullptr);
    paste->trigger();
    EXPECT_EQ(edit.text(), QStringLiteral("-x1.2.3"));
}

}  // namespace
