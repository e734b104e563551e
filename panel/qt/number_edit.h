// The current field: an edit that lets through only what can start or continue a number. The
// filter sees typed characters only; keys that type nothing (arrows, Delete) work as usual, and
// pasting from the context menu is not filtered.
#ifndef DRIVERPANEL_PANEL_QT_NUMBER_EDIT_H
#define DRIVERPANEL_PANEL_QT_NUMBER_EDIT_H

#include <QLineEdit>
#include <optional>

class QKeyEvent;

// The character a key press types, as an edit control on Windows receives it (Ctrl+V types
// 0x16, Backspace 8, Enter 13); nothing for keys that type no character.
std::optional<char32_t> TypedCharacter(const QKeyEvent& event);

class CNumberEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit CNumberEdit(QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;  // the character handler
};

#endif
