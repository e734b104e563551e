// The receive rules: header sync, accepted lengths, checksum, recovery after a bad frame, replies
// cut short by a pause, and a long random stream checked against the reference scanner.
#include "protocol/reply_assembler.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/protocol/reply_frames.h"

namespace {

// The stream's bytes back to back, all at timeMs.
std::vector<Bytes> Assemble(ReplyAssembler& assembler, const Bytes& stream,
                            std::int64_t timeMs = 0) {
    std::vector<Bytes> replies;
    for (std::uint8_t b : stream) {
        const auto frame = assembler.Take(b, timeMs);
        if (!frame.empty()) {
            replies.emplace_back(frame.begin(), frame.end());
        }
    }
    return replies;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

const Bytes kTemp = {0xED, 0xFA, 0x06, 0x0B, 0x09, 0xC4, 0x0A, 0x28, 0xF7};

TEST(ReplyAssembler, FollowsTheReceiveRules) {
    Bytes badSum = kTemp;
    badSum.back() = 0xF8;
    const Bytes shortest = MakeReply(0x05, {});
    const Bytes longest = MakeReply(0x07, Bytes(95, 0xED));
    struct Case {
        std::string name;
        Bytes stream;
        std::vector<Bytes> expected;
    };
    const Case cases[] = {
        {"a well-formed reply", kTemp, {kTemp}},
        {"wrong checksum, then a good frame", Concat({badSum, kTemp}), {kTemp}},
        {"second 0xED while waiting for 0xFA loses the frame", Concat({{0xED}, kTemp}), {}},
        {"noise before the header", Concat({{0x00, 0xFA, 0x42}, kTemp}), {kTemp}},
        {"L = 1 refused", Concat({{0xED, 0xFA, 0x01}, kTemp}), {kTemp}},
        {"L = 98 refused", Concat({{0xED, 0xFA, 0x62}, kTemp}), {kTemp}},
        {"L = 0xFF refused", Concat({{0xED, 0xFA, 0xFF}, kTemp}), {kTemp}},
        {"L = 0xFE refused", Concat({{0xED, 0xFA, 0xFE}, kTemp}), {kTemp}},
        {"L = 2, type and checksum only", shortest, {shortest}},
        {"L = 97, the longest", longest, {longest}},
        {"unknown types are still well-formed", MakeReply(0x05, {1, 2}), {MakeReply(0x05, {1, 2})}},
        {"back to back", Concat({kTemp, shortest, kTemp}), {kTemp, shortest, kTemp}},
        {"a truncated frame swallows the start of the next",
         Concat({{0xED, 0xFA, 0x06, 0x0B}, kTemp}),
         {}},
    };
    for (const Case& c : cases) {
        ReplyAssembler assembler;
        EXPECT_EQ(Assemble(assembler, c.stream), c.expected) << c.name;
    }
}

TEST(ReplyAssembler, ResetDropsAHalfAssembledFrame) {
    ReplyAssembler assembler;
    const Bytes head(kTemp.begin(), kTemp.begin() + 5);
    const Bytes tail(kTemp.begin() + 5, kTemp.end());
    Assemble(assembler, head);
    assembler.Reset();
    EXPECT_TRUE(Assemble(assembler, tail).empty());
    EXPECT_EQ(Assemble(assembler, kTemp), std::vector<Bytes>{kTemp});
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t to) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

// A stream in pieces, each taken its pause after the previous piece's last byte.
struct Piece {
    std::int64_t pauseBeforeMs;
    Bytes bytes;
};

TEST(ReplyAssembler, AbandonsAReplyWhoseNextByteComesLate) {
    struct Case {
        std::string name;
        std::vector<Piece> pieces;
        std::vector<Bytes> expected;
    };
    const Bytes head = Slice(kTemp, 0, 7);
    const Case cases[] = {
        {"cut reply, the next one 51 ms later is taken alone", {{0, head}, {51, kTemp}}, {kTemp}},
        {"cut reply, the next one 50 ms later still joins it", {{0, head}, {50, kTemp}}, {}},
        {"a reply held up 50 ms at every byte",
         {{0, Slice(kTemp, 0, 1)},
          {50, Slice(kTemp, 1, 2)},
          {50, Slice(kTemp, 2, 3)},
          {50, Slice(kTemp, 3, 8)},
          {50, Slice(kTemp, 8, 9)}},
         {kTemp}},
        {"late second header byte", {{0, Slice(kTemp, 0, 1)}, {51, Slice(kTemp, 1, 9)}}, {}},
        {"late length byte", {{0, Slice(kTemp, 0, 2)}, {51, Slice(kTemp, 2, 9)}}, {}},
        {"late checksum", {{0, Slice(kTemp, 0, 8)}, {51, Slice(kTemp, 8, 9)}}, {}},
        {"a late 0xED starts a frame", {{0, Slice(kTemp, 0, 1)}, {51, kTemp}}, {kTemp}},
        {"pauses between replies do not matter", {{0, kTemp}, {100000, kTemp}}, {kTemp, kTemp}},
    };
    for (const Case& c : cases) {
        ReplyAssembler assembler;
        std::vector<Bytes> replies;
        std::int64_t now = 1000;
        for (const Piece& piece : c.pieces) {
            now += piece.pauseBeforeMs;
            for (Bytes& reply : Assemble(assembler, piece.bytes, now)) {
                replies.push_back(std::move(reply));
            }
        }
        EXPECT_EQ(replies, c.expected) << c.name;
    }
}

// Noise that is rich in header bytes, well-formed frames of every length, frames with a wrong
// checksum and frames cut short, all interleaved.
Bytes RandomStream(std::mt19937& random, std::size_t pieces) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> choice(0, 9);
    auto noiseByte = [&] {
        switch (choice(random)) {
            case 0:
            case 1:
                return std::uint8_t{0xED};
            case 2:
                return std::uint8_t{0xFA};
            default:
                return static_cast<std::uint8_t>(byte(random));
        }
    };
    Bytes stream;
    for (std::size_t p = 0; p < pieces; ++p) {
        const int kind = choice(random);
        if (kind < 3) {
            for (int n = choice(random); n > 0; --n) {
                stream.push_back(noiseByte());
            }
            continue;
        }
        Bytes data(static_cast<std::size_t>(std::uniform_int_distribution<int>(0, 95)(random)));
        for (auto& b : data) {
            b = noiseByte();
        }
        const std::uint8_t types[] = {0x02, 0x07, 0x0B, 0x22, 0x05};
        Bytes frame = MakeReply(types[choice(random) % 5], data);
        if (kind == 3) {
            frame.back() = static_cast<std::uint8_t>(frame.back() + 1 + choice(random));
        } else if (kind == 4) {
            frame.resize(static_cast<std::size_t>(choice(random)) % frame.size());
        }
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    return stream;
}

TEST(ReplyAssembler, RandomStreamMatchesReference) {
    std::mt19937 random(20220513);
    for (int round = 0; round < 20; ++round) {
        const Bytes stream = RandomStream(random, 5000);
        ReplyAssembler assembler;
        const auto replies = Assemble(assembler, stream);
        EXPECT_EQ(replies, ReferenceReplies(stream)) << "round " << round;
        EXPECT_GT(replies.size(), 1000u);  // the stream really exercised the good path
    }
}

}  // namespace
