// The port list and what assistive technology sees of it.
#include "hosts/qt/port_list.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>

namespace {

// A non-editable drop-down list as assistive technology sees it: its name, the shown item as its
// value, the list of items as its one child, and opening or closing the list as its action.
class PortListAccessible : public QAccessibleWidget {
  public:
    explicit PortListAccessible(CPortList* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            return List()->currentText();
        }
        return QAccessibleWidget::text(t);  // the name is the widget's accessible name
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = List()->view()->isVisible();
        return s;
    }

    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(List()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && child->object() == List()->view() ? 0 : -1;
    }
    QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& actionName) override {
        if (actionName != showMenuAction() && actionName != pressAction()) {
            return;
        }
        if (List()->view()->isVisible()) {
            List()->hidePopup();
        } else {
            List()->showPopup();
        }
    }

  private:
    CPortList* List() const { return static_cast<CPortList*>(widget()); }
};

QAccessibleInterface* PortListAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(CPortList::staticMetaObject.className()) &&
        object->isWidgetType()) {
        return new PortListAccessible(static_cast<CPortList*>(object));
    }
    return nullptr;
}

}  // namespace

CPortList::CPortList(QWidget* parent) : QComboBox(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(PortListAccessibleFactory);
        return true;
    }();
    static_cast<void>(factoryInstalled);
}

// A wheel turned while the pointer passes over the closed panel must not change which port the
// next OpenPort opens: as the slider, the list takes the wheel only while it has the focus.
void CPortList::wheelEvent(QWheelEvent* event) {
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}
