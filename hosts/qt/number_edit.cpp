// The current field on Qt: key presses mapped to the characters they type, each put to the
// panel's number filter; the editing shortcuts of a line edit; pastes put to the same filter.
#include "hosts/qt/number_edit.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>
#include <memory>

#include "panel/number_filter.h"

namespace {
constexpr char32_t kCarriageReturn = 0x0D;
constexpr char32_t kEscape = 0x1B;
constexpr char32_t kDeleteCharacter = 0x7F;  // Ctrl+Backspace

// Shortcuts that type nothing and bring in no text from outside the field: they go to the line
// edit as they are. Every other control key still types its control character, which the
// filter discards.
constexpr QKeySequence::StandardKey kEditingShortcuts[] = {
    QKeySequence::SelectAll, QKeySequence::Copy, QKeySequence::Cut,
    QKeySequence::Undo,      QKeySequence::Redo,
};

bool IsEditingShortcut(const QKeyEvent& event) {
    for (const QKeySequence::StandardKey key : kEditingShortcuts) {
        if (event.matches(key)) {
            return true;
        }
    }
    return false;
}

QString MenuText(const char* text, QKeySequence::StandardKey key) {
    return QLineEdit::tr(text) + QLatin1Char('\t') +
           QKeySequence(key).toString(QKeySequence::NativeText);
}

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

bool NumberFieldAcceptsPaste(const QString& text, int selectionStart, int selectionLength,
                             const QString& pasted) {
    if (pasted.isEmpty()) {
        return false;
    }
    // The first character meets the whole text, as a typed one does over a selection; the
    // selection then goes and the rest follow where it was.
    QString running = text;
    const QString kept = QString(text).remove(selectionStart, selectionLength);
    const QList<uint> characters = pasted.toUcs4();
    QString typedSoFar;
    for (const uint character : characters) {
        const auto typed = static_cast<char32_t>(character);
        // A backspace passes the filter as a key, never as a character of the text.
        if (typed == kBackspace || !NumberFieldAccepts(typed, running.toStdString())) {
            return false;
        }
        typedSoFar.append(QString::fromUcs4(&typed, 1));
        running = QString(kept).insert(selectionStart, typedSoFar);
    }
    return true;
}

CNumberEdit::CNumberEdit(QWidget* parent) : QLineEdit(parent) {
    // An input method would insert its text without key presses, past the filter; so would a
    // drop.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setAcceptDrops(false);
}

bool CNumberEdit::ClipboardPasteAccepted(QClipboard::Mode mode) const {
    const QString pasted = QGuiApplication::clipboard()->text(mode);
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    return !isReadOnly() && NumberFieldAcceptsPaste(text(), start, selectedText().size(), pasted);
}

bool CNumberEdit::PasteFiltered(QClipboard::Mode mode) {
    if (!ClipboardPasteAccepted(mode)) {
        return false;
    }
    insert(QGuiApplication::clipboard()->text(mode));  // over the selection, undoable, modified
    return true;
}

void CNumberEdit::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        PasteFiltered();
        event->accept();
        return;
    }
    if (IsEditingShortcut(*event)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const std::optional<char32_t> typed = TypedCharacter(*event);
    if (typed && !NumberFieldAccepts(*typed, text().toStdString())) {
        event->accept();  // discarded: neither typed nor passed on to the panel
        return;
    }
    QLineEdit::keyPressEvent(event);
}

// The middle button pastes the mouse selection on X11; the line edit would paste it unfiltered.
void CNumberEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        deselect();
        PasteFiltered(QClipboard::Selection);
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

// The line edit's own menu pastes unfiltered and offers no way to change that: the same entries,
// with Paste through the filter and offered only when the filter would take the clipboard.
void CNumberEdit::contextMenuEvent(QContextMenuEvent* event) {
    auto menu = std::make_unique<QMenu>(this);
    const bool editable = !isReadOnly();
    const bool selected = hasSelectedText();
    menu->addAction(MenuText("&Undo", QKeySequence::Undo), this, &QLineEdit::undo)
        ->setEnabled(editable && isUndoAvailable());
    menu->addAction(MenuText("&Redo", QKeySequence::Redo), this, &QLineEdit::redo)
        ->setEnabled(editable && isRedoAvailable());
    menu->addSeparator();
    menu->addAction(MenuText("Cu&t", QKeySequence::Cut), this, &QLineEdit::cut)
        ->setEnabled(editable && selected);
    menu->addAction(MenuText("&Copy", QKeySequence::Copy), this, &QLineEdit::copy)
        ->setEnabled(selected);
    menu->addAction(MenuText("&Paste", QKeySequence::Paste), this, [this] { PasteFiltered(); })
        ->setEnabled(ClipboardPasteAccepted(QClipboard::Clipboard));
    menu->addAction(QLineEdit::tr("Delete"), this, [this] { del(); })
        ->setEnabled(editable && selected);
    menu->addSeparator();
    menu->addAction(MenuText("Select All", QKeySequence::SelectAll), this, &QLineEdit::selectAll)
        ->setEnabled(!text().isEmpty());
    menu->exec(event->globalPos());
    event->accept();
}
