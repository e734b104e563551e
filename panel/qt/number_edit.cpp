// The current field on Qt: key presses mapped to the characters they type, each put to the
// panel's number filter.
#include "panel/qt/number_edit.h"

#include <QKeyEvent>

#include "panel/number_filter.h"

namespace {
constexpr char32_t kCarriageReturn = 0x0D;
constexpr char32_t kEscape = 0x1B;
constexpr char32_t kDeleteCharacter = 0x7F;  // Ctrl+Backspace
}  // namespace

std::optional<char32_t> TypedCharacter(const QKeyEvent& event) {
    const int key = event.key();
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    const bool control =
        modifiers.testFlag(Qt::ControlModifier) && !modifiers.testFlag(Qt::AltModifier);
    switch (key) {
        case Qt::Key_Delete:
            return std::nullopt;  // a key, not a character
        case Qt::Key_Backspace:
            return control ? kDeleteCharacter : kBackspace;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return kCarriageReturn;
        case Qt::Key_Escape:
            return kEscape;
        default:
            break;
    }
    if (control && key >= Qt::Key_A && key <= Qt::Key_Z) {
        return static_cast<char32_t>(key - Qt::Key_A + 1);  // Ctrl+A is 1, Ctrl+V is 0x16
    }
    const QList<uint> text = event.text().toUcs4();
    if (text.isEmpty()) {
        return std::nullopt;
    }
    return static_cast<char32_t>(text.front());
}

CNumberEdit::CNumberEdit(QWidget* parent) : QLineEdit(parent) {
    // An input method would insert its text without key presses, past the filter.
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

void CNumberEdit::keyPressEvent(QKeyEvent* event) {
    const std::optional<char32_t> typed = TypedCharacter(*event);
    if (typed && !NumberFieldAccepts(*typed, text().toStdString())) {
        event->accept();  // discarded: neither typed nor passed on to the panel
        return;
    }
    QLineEdit::keyPressEvent(event);
}
