// The panel's pre-translation hook on Qt: one application-wide event filter that sees every key
// press and mouse button event addressed to the panel or one of its controls before the widget
// does, describes it as an InputMessage and lets the panel's rules swallow it.
#ifndef DRIVERPANEL_HOSTS_QT_PRE_TRANSLATION_FILTER_H
#define DRIVERPANEL_HOSTS_QT_PRE_TRANSLATION_FILTER_H

#include <QObject>
#include <functional>
#include <optional>

#include "panel/input_message.h"

class QEvent;
class QWidget;

// Name of the dynamic property that carries a control's id on its widget.
inline constexpr const char* kControlIdProperty = "controlId";

// The id of the panel's control that `widget` belongs to (the widget itself, a part of it, or
// its drop-down), 0 for the panel itself; nothing when the widget is not part of the panel (for
// example a message box).
std::optional<int> PanelControlOf(const QWidget* widget, const QWidget* panel);

// The message an event is for the panel's rules; nothing when the rules do not look at it.
std::optional<InputMessage> TranslateInput(const QEvent& event, int controlId);

class PreTranslationFilter : public QObject {
    Q_OBJECT

  public:
    // `hook` returns true to swallow the message. Install with qApp->installEventFilter.
    PreTranslationFilter(const QWidget& panel, std::function<bool(const InputMessage&)> hook);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    const QWidget& panel_;
    std::function<bool(const InputMessage&)> hook_;
};

#endif
