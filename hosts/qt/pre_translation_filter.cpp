// Keyboard and mouse events of the panel mapped onto the panel's pre-translation rules.
#include "hosts/qt/pre_translation_filter.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QVariant>
#include <QWidget>

std::optional<int> PanelControlOf(const QWidget* widget, const QWidget* panel) {
    std::optional<int> control;
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        if (w == panel) {
            return control.value_or(0);
        }
        const QVariant id = w->property(kControlIdProperty);
        if (!control && id.isValid()) {
            control = id.toInt();
        }
        // A window of its own on the way up (a message box) is not the panel's; a control's
        // drop-down is a popup child of the control and belongs to it.
        if (w->isWindow() && w->windowType() != Qt::Popup) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<InputMessage> TranslateInput(const QEvent& event, int controlId) {
    switch (event.type()) {
        case QEvent::KeyPress: {
            // Auto-repeat arrives as further presses, as key-downs do on Windows.
            const int key = static_cast<const QKeyEvent&>(event).key();
            int code = 0;
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                code = kKeyReturn;
            } else if (key == Qt::Key_Escape) {
                code = kKeyEscape;
            }
            return InputMessage{InputKind::KeyDown, code, controlId};
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease: {
            if (static_cast<const QMouseEvent&>(event).button() != Qt::LeftButton) {
                return std::nullopt;
            }
            const InputKind kind = event.type() == QEvent::MouseButtonPress
                                       ? InputKind::LeftButtonDown
                                       : InputKind::LeftButtonUp;
            return InputMessage{kind, 0, controlId};
        }
        case QEvent::MouseButtonDblClick:
            // The second press of a double-click is not a button-down.
            return InputMessage{InputKind::Other, 0, controlId};
        default:
            return std::nullopt;
    }
}

PreTranslationFilter::PreTranslationFilter(const QWidget& panel,
                                           std::function<bool(const InputMessage&)> hook)
    : panel_(panel), hook_(std::move(hook)) {}

bool PreTranslationFilter::eventFilter(QObject* watched, QEvent* event) {
    // Input reaches a window first and then its widget; the panel's rules are about widgets. A
    // mouse event a widget ignores travels on to its parent as a non-spontaneous copy, so each
    // press and release is seen once. A key a widget ignores travels on as the same event and is
    // seen again at the parent; that changes nothing, since the rules swallow Enter and Escape
    // wherever they first see them and pass every other key.
    if (!event->spontaneous() || !watched->isWidgetType()) {
        return false;
    }
    const std::optional<int> control =
        PanelControlOf(static_cast<const QWidget*>(watched), &panel_);
    if (!control) {
        return false;
    }
    const std::optional<InputMessage> message = TranslateInput(*event, *control);
    return message && hook_(*message);
}
