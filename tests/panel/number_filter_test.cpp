// The current field's character filter: what each typed character does to a given text.
#include "panel/number_filter.h"

#include <gtest/gtest.h>

namespace {

struct Keystroke {
    char32_t typed;
    const char* text;
    bool accepted;
};

class NumberFilter : public ::testing::TestWithParam<Keystroke> {};

TEST_P(NumberFilter, DecidesByTheWholeText) {
    const Keystroke& key = GetParam();
    EXPECT_EQ(NumberFieldAccepts(key.typed, key.text), key.accepted)
        << "character " << static_cast<unsigned>(key.typed) << " after \"" << key.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Keystrokes, NumberFilter,
    ::testing::Values(
        // Digits and backspace, whatever the text.
        Keystroke{U'0', "", true}, Keystroke{U'9', "-1.5", true}, Keystroke{8, "", true},
        Keystroke{8, "12", true},
        // A minus sign only into an empty field: not after a digit, nor over a selection.
        Keystroke{U'-', "", true}, Keystroke{U'-', "12", false}, Keystroke{U'-', "-", false},
        // One point, and not first.
        Keystroke{U'.', "", false}, Keystroke{U'.', "-", true}, Keystroke{U'.', "1", true},
        Keystroke{U'.', "1.5", false}, Keystroke{U'.', "pasted.", false},
        // Pasted text that is not a number still counts as text.
        Keystroke{U'.', "\xC3\xA9", true}, Keystroke{U'-', "\xC3\xA9", false},
        // Everything else: letters, signs, control characters (Ctrl+V, Enter), wide characters.
        Keystroke{U'a', "", false}, Keystroke{U'+', "", false}, Keystroke{U'e', "1", false},
        Keystroke{22, "", false}, Keystroke{13, "12", false}, Keystroke{U' ', "", false},
        Keystroke{U'\uFF11', "", false}, Keystroke{0x10030, "", false}));

}  // namespace
