// The current field: an edit that lets through only what can start or continue a number. The
// filter sees typed characters; keys that type nothing (arrows, Delete) and the editing shortcuts
// of a line edit (select all, copy, cut, undo, redo) work as usual. Text from the clipboard, the
// mouse selection or a drop never goes in past the filter.
#ifndef DRIVERPANEL_HOSTS_QT_NUMBER_EDIT_H
#define DRIVERPANEL_HOSTS_QT_NUMBER_EDIT_H

#include <QClipboard>
#include <QLineEdit>
#include <optional>

class QKeyEvent;

// The character a key press types, as an edit control on Windows receives it (Ctrl+V types
// 0x16, Backspace 8, Enter 13); nothing for keys that type no character.
std::optional<char32_t> TypedCharacter(const QKeyEvent& event);

// Whether `pasted`, put over the selection (or at the caret) of a field holding `text`, goes in:
// only when each of its characters, typed there in turn, would pass the filter. All or nothing:
// a paste the filter cut short or thinned out ("12abc" to "12", "1,000" to "1000", "1e3" to "13")
// would leave a value nobody wrote.
bool NumberFieldAcceptsPaste(const QString& text, int selectionStart, int selectionLength,
                             const QString& pasted);

class CNumberEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit CNumberEdit(QWidget* parent = nullptr);

    // Pastes the clipboard (or the mouse selection) over the selection when the filter takes all
    // of it; otherwise leaves the field as it is. Whether it pasted.
    bool PasteFiltered(QClipboard::Mode mode = QClipboard::Clipboard);

  protected:
    void keyPressEvent(QKeyEvent* event) override;  // the character handler
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    bool ClipboardPasteAccepted(QClipboard::Mode mode) const;
};

#endif
