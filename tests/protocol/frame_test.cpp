// Request frames byte for byte, and the big-endian field reader.
#include <gtest/gtest.h>

#include <vector>

#include "protocol/frame.h"

namespace {

std::vector<std::uint8_t> Bytes(std::span<const std::uint8_t> frame) {
    return {frame.begin(), frame.end()};
}

TEST(Frame, QueriesAreTheModulesConstantFrames) {
    EXPECT_EQ(Bytes(kQueryConfigFrame), (std::vector<std::uint8_t>{0xEF, 0xEF, 0x02, 0x02, 0xE2}));
    EXPECT_EQ(Bytes(kQueryTempFrame), (std::vector<std::uint8_t>{0xEF, 0xEF, 0x02, 0x0B, 0xEB}));
    EXPECT_EQ(Bytes(kQueryPowerFrame), (std::vector<std::uint8_t>{0xEF, 0xEF, 0x02, 0x22, 0x02}));
}

TEST(Frame, SetFrameCarriesValueBigEndianWithChecksum) {
    struct Case {
        std::uint8_t command;
        std::uint16_t value;
        std::vector<std::uint8_t> expected;
    };
    const Case cases[] = {
        {CMD_SET_A, 0, {0xEF, 0xEF, 0x04, 0x0C, 0x00, 0x00, 0xEE}},
        {CMD_SET_B, 0, {0xEF, 0xEF, 0x04, 0x0D, 0x00, 0x00, 0xEF}},
        {CMD_SET_A, 300, {0xEF, 0xEF, 0x04, 0x0C, 0x01, 0x2C, 0x1B}},
        {CMD_SET_A, 65535, {0xEF, 0xEF, 0x04, 0x0C, 0xFF, 0xFF, 0xEC}},
        {CMD_SET_A, 100, {0xEF, 0xEF, 0x04, 0x0C, 0x00, 0x64, 0x52}},
    };
    for (const Case& c : cases) {
        SetFrame frame = kEmptySetFrame;
        WriteSetFrame(frame, CMD_SET_B, 1234);  // whatever was there before is overwritten
        WriteSetFrame(frame, c.command, c.value);
        EXPECT_EQ(Bytes(frame), c.expected) << "value " << c.value;
    }
}

TEST(Frame, ReadsBigEndianFields) {
    const std::uint8_t reply[] = {0xED, 0xFA, 0x06, 0x0B, 0x09, 0xC4, 0x0A, 0x28, 0xF7};
    EXPECT_EQ(ReadU16(reply, 4), 2500);
    EXPECT_EQ(ReadU16(reply, 6), 2600);
    EXPECT_EQ(Checksum(std::span(reply).first(8)), 0xF7);
}

}  // namespace
