// Which Win32 messages reach the panel's input rules as what.
#include "hosts/win32/input_translation.h"

#include <gtest/gtest.h>

namespace {

struct Translation {
    UINT message;
    WPARAM wParam;
    InputKind kind;
    int key;
};

class InputTranslation : public ::testing::TestWithParam<Translation> {};

TEST_P(InputTranslation, KeepsTheTargetControl) {
    const Translation& expected = GetParam();
    InputMessage input = ToInputMessage(expected.message, expected.wParam, 1013);
    EXPECT_EQ(input.kind, expected.kind);
    EXPECT_EQ(input.key, expected.key);
    EXPECT_EQ(input.controlId, 1013);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, InputTranslation,
    ::testing::Values(Translation{WM_KEYDOWN, VK_RETURN, InputKind::KeyDown, kKeyReturn},
                      Translation{WM_KEYDOWN, VK_ESCAPE, InputKind::KeyDown, kKeyEscape},
                      Translation{WM_KEYDOWN, 'A', InputKind::KeyDown, 'A'},
                      Translation{WM_LBUTTONDOWN, MK_LBUTTON, InputKind::LeftButtonDown, 0},
                      Translation{WM_LBUTTONUP, 0, InputKind::LeftButtonUp, 0},
                      // The second press of a double-click starts no repeat.
                      Translation{WM_LBUTTONDBLCLK, MK_LBUTTON, InputKind::Other, 0},
                      // A key released, a character, a system key: not the rules' business.
                      Translation{WM_KEYUP, VK_RETURN, InputKind::Other, 0},
                      Translation{WM_CHAR, '\r', InputKind::Other, 0},
                      Translation{WM_SYSKEYDOWN, VK_RETURN, InputKind::Other, 0},
                      Translation{WM_RBUTTONDOWN, MK_RBUTTON, InputKind::Other, 0}));

}  // namespace
