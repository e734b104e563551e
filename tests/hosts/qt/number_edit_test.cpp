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
#include <vector>

#include "hosts/qt/number_edit.h"

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
        TypingCase{"CtrlV", "1", false, {K(Qt::Key_V, Qt::ControlModifier)}, "1987"},
        TypingCase{
            "CutThenPasteBack",
            "45",
            true,
            {K(Qt::Key_X, Qt::ControlModifier), K(Qt::Key_1), K(Qt::Key_V, Qt::ControlModifier)},
            "145"},
        TypingCase{"CtrlZ", "", false, {K(Qt::Key_4), K(Qt::Key_Z, Qt::ControlModifier)}, ""},
        TypingCase{
            "CtrlZThenCtrlY",
            "",
            false,
            {K(Qt::Key_4), K(Qt::Key_Z, Qt::ControlModifier), K(Qt::Key_Y, Qt::ControlModifier)},
            "4"},
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

// A paste over the selection goes in only when each of its characters, typed in turn there,
// would pass the filter: what the filter cut short or thinned out would be a value nobody wrote.
struct PasteCase {
    QString text;
    int selectionStart, selectionLength;
    QString pasted;
    bool accepted;
};

TEST(NumberEditPaste, GoesInWholeOrNotAtAll) {
    for (const PasteCase& c :
         {PasteCase{"100", 0, 3, "0", true}, PasteCase{"", 0, 0, "-1.5", true},
          PasteCase{"12", 1, 0, "34", true}, PasteCase{"", 0, 0, "12abc", false},
          PasteCase{"9", 0, 1, "1e3", false}, PasteCase{"", 0, 0, "1,000", false},
          PasteCase{"", 0, 0, " 470", false}, PasteCase{"2.", 2, 0, "5.5", false},
          PasteCase{"12", 0, 2, "-5", false}, PasteCase{"", 0, 0, "\u0663", false},
          PasteCase{"12", 2, 0, "\b", false}, PasteCase{"1", 1, 0, "", false}}) {
        EXPECT_EQ(NumberFieldAcceptsPaste(c.text, c.selectionStart, c.selectionLength, c.pasted),
                  c.accepted)
            << c.text.toStdString() << " + " << c.pasted.toStdString();
    }
}

// The field's own menu pastes through the filter too.
TEST(NumberEditPaste, ContextMenuPasteIsFiltered) {
    for (const QString& pasted : {QStringLiteral("-x1.2.3"), QStringLiteral("25")}) {
        QApplication::clipboard()->setText(pasted);
        CNumberEdit edit;
        edit.setText(QStringLiteral("9"));
        edit.selectAll();
        QTimer::singleShot(0, [] {
            QWidget* menu = QApplication::activePopupWidget();
            ASSERT_NE(menu, nullptr);
            for (QAction* action : menu->actions()) {
                if (action->text().remove(QLatin1Char('&')).startsWith(QStringLiteral("Paste"))) {
                    action->trigger();  // as a click would, were it enabled
                }
            }
            menu->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(1, 1), QPoint(1, 1));
        QApplication::sendEvent(&edit, &event);
        EXPECT_EQ(edit.text(), pasted == QStringLiteral("25") ? pasted : QStringLiteral("9"));
    }
}

}  // namespace
