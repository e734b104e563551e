// The current field's character filter: what each typed character does to a given text.
#include "panel/win32/number_filter.h"

#include <gtest/gtest.h>

namespace {

struct Keystroke {
    char32_t typed;
    const wchar_t* text;
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
        Keystroke{U'0', L"", true}, Keystroke{U'9', L"-1.5", true}, Keystroke{8, L"", true},
        Keystroke{8, L"12", true},
        // A minus sign only into an empty field: not after a digit, nor over a selection.
        Keystroke{U'-', L"", true}, Keystroke{U'-', L"12", false}, Keystroke{U'-', L"-", false},
        // One point, and not first.
        Keystroke{U'.', L"", false}, Keystroke{U'.', L"-", true}, Keystroke{U'.', L"1", true},
        Keystroke{U'.', L"1.5", false}, Keystroke{U'.', L"pasted.", false},
        // Everything else: letters, signs, control characters (Ctrl+V, Enter), wide characters.
        Keystroke{U'a', L"", false}, Keystroke{U'+', L"", false}, Keystroke{U'e', L"1", false},
        Keystroke{22, L"", false}, Keystroke{13, L"12", false}, Keystroke{U' ', L"", false},
        Keystroke{U'\uFF11', L"", false}, Keystroke{0x10030, L"", false}));

}  // namespace
