// The panel's layout and appearance: each control where the template puts it, converted from
// dialog units with the dialog font's metrics, and the window's fixed properties.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFontMetrics>
#include <QPushButton>

#include "hosts/qt/dialog_template.h"
#include "hosts/qt/dialog_units.h"
#include "panel_fixture.h"

namespace {

TEST(MulDivTest, RoundsHalvesAwayFromZero) {
    struct Case {
        int a, b, c, expected;
    };
    for (const Case& c :
         {Case{207, 10, 4, 518}, Case{121, 22, 8, 333}, Case{5, 3, 2, 8}, Case{-5, 3, 2, -8},
          Case{7, 3, 4, 5}, Case{1, 1, 4, 0}, Case{0, 9, 4, 0}}) {
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << "*" << c.b << "/" << c.c;
    }
}

class PanelLayoutTest : public PanelTest {
  protected:
    void SetUp() override { BuildPanel(); }

    // The dialog manager's base units, worked out here from the font on its own.
    DialogBaseUnits ExpectedBaseUnits() const {
        const QFontMetrics metrics(panel_->font());
        const int extent = metrics.horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        return {(extent / 26 + 1) / 2, metrics.ascent() + metrics.descent()};
    }
};

TEST_F(PanelLayoutTest, EveryControlSitsAtItsTemplateRectangle) {
    const DialogBaseUnits base = ExpectedBaseUnits();
    ASSERT_GT(base.x, 0);
    EXPECT_EQ(panel_->font().pixelSize(), 19);  // 14 pt at 96 dots per inch
    EXPECT_EQ(panel_->size(),
              QSize(MulDiv(PANEL_WIDTH, base.x, 4), MulDiv(PANEL_HEIGHT, base.y, 8)));

    const QList<QWidget*> children = panel_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(children.size(), static_cast<qsizetype>(kPanelControls.size()));
    for (std::size_t i = 0; i < kPanelControls.size(); ++i) {
        const ControlTemplate& t = kPanelControls[i];
        const QWidget* w = children[static_cast<qsizetype>(i)];
        SCOPED_TRACE(std::string(t.text) + " id " + std::to_string(t.id));
        EXPECT_EQ(w->property("controlId").toInt(), t.id);
        EXPECT_EQ(w->x(), MulDiv(t.rect.x, base.x, 4));
        EXPECT_EQ(w->y(), MulDiv(t.rect.y, base.y, 8));
        EXPECT_EQ(w->width(), MulDiv(t.rect.width, base.x, 4));
        if (t.id != IDC_PORT_LIST) {  // the list's template height is that of its drop-down
            EXPECT_EQ(w->height(), MulDiv(t.rect.height, base.y, 8));
        }
        EXPECT_FALSE(w->accessibleName().isEmpty());
        // A button keeps the template's text whatever a screen reader calls it.
        if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
            EXPECT_EQ(button->text().toStdString(), t.text);
        }
    }
}

TEST_F(PanelLayoutTest, WindowTextsAndBehaviour) {
    EXPECT_EQ(panel_->windowTitle(), QStringLiteral("Orlevan D20220513"));
    EXPECT_FALSE(panel_->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(panel_->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(panel_->windowIcon().isNull());

    for (const QPushButton* button : panel_->findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault()) << button->text().toStdString();
        EXPECT_FALSE(button->autoDefault()) << button->text().toStdString();
    }
    EXPECT_EQ(Text(IDC_OPEN_PORT), "OpenPort");
    EXPECT_TRUE(Control(IDC_PORT_LIST)->isEnabled());
    EXPECT_EQ(static_cast<QComboBox*>(Control(IDC_PORT_LIST))->count(), 0);  // no port here
    EXPECT_EQ(Control(IDC_PORT_LIST)->accessibleName(), QStringLiteral("Serial port"));
    EXPECT_EQ(Control(IDC_CURRENT)->accessibleName(), QStringLiteral("Current"));
    EXPECT_EQ(Control(IDC_LD_TEMP)->accessibleName(), QStringLiteral("LDTemp"));
    EXPECT_EQ(Control(IDC_POWER)->accessibleName(), QStringLiteral("Power"));

    // Tab order is the template's order of tab stops.
    std::vector<int> order;
    for (QWidget* w = panel_->nextInFocusChain(); w != panel_.get(); w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->property("controlId").isValid()) {
            order.push_back(w->property("controlId").toInt());
        }
    }
    std::vector<int> tabStops;
    for (const ControlTemplate& t : kPanelControls) {
        if (t.style & kStyleTabStop) {
            tabStops.push_back(t.id);
        }
    }
    EXPECT_EQ(order, tabStops);
}

}  // namespace
