// The "Application Error" text: exact layout, and no truncation of long system texts.
#include "serial/port_error.h"

#include <gtest/gtest.h>

TEST(PortErrorText, ComposesTheOperatorMessage) {
    EXPECT_EQ(FormatPortError(kOpSetCommTimeouts, "The parameter is incorrect.", 3),
              "WARNING:  SetCommTimeouts() Failed with the following error: \n"
              "The parameter is incorrect.\nPort: 3\n");
    EXPECT_EQ(FormatPortError(kOpReadResult, "", 16),
              "WARNING:  GetOverlappedResults() in ReadFile() Failed with the following error: "
              "\n\nPort: 16\n");
}

TEST(PortErrorText, KeepsLongSystemTextWhole) {
    const std::string longText(5000, 'x');
    const std::string text = FormatPortError(kOpWriteFile, longText, 1);
    EXPECT_NE(text.find(longText + "\nPort: 1\n"), std::string::npos);
}
