// Keyboard and mouse messages as the panel's pre-translation sees them. Each window system maps
// its own messages onto these before they are dispatched.
#ifndef DRIVERPANEL_PANEL_INPUT_MESSAGE_H
#define DRIVERPANEL_PANEL_INPUT_MESSAGE_H

constexpr int kKeyReturn = 13;  // VK_RETURN
constexpr int kKeyEscape = 27;  // VK_ESCAPE

enum class InputKind {
    KeyDown,         // key is the virtual-key code (kKeyReturn, kKeyEscape, ...)
    LeftButtonDown,  // a single press; the second press of a double-click is Other
    LeftButtonUp,
    Other,
};

struct InputMessage {
    InputKind kind;
    int key;        // KeyDown only
    int controlId;  // id of the control the message is addressed to; 0 for the panel itself
};

#endif
