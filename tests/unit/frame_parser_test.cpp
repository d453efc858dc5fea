#include "protocol/frame_parser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "hex_bytes.h"

using namespace touchsdk;

namespace {

// Every complete frame, from its type byte on, as far as its own length goes.
struct Frames {
    std::vector<std::vector<uint8_t>> seen;
};

std::size_t frameLength(const uint8_t* frame) {
    switch (frame[0]) {
        case 0x87:
        case 0x96:
        case 0xB4:
            return 1;
        case 0x4B:
            return std::size_t{frame[1]} + 3;
        default:
            return std::size_t{frame[3]} + 5;
    }
}

void collect(void* context, const uint8_t* frame) {
    static_cast<Frames*>(context)->seen.emplace_back(frame, frame + frameLength(frame));
}

std::vector<std::vector<uint8_t>> parse(const std::vector<uint8_t>& bytes) {
    Frames frames;
    FrameParser parser(collect, &frames);
    for (uint8_t byte : bytes) parser.feed(byte);
    return frames.seen;
}

std::vector<uint8_t> dataFrame(std::size_t length) {
    std::vector<uint8_t> frame = {0x55, 0x4B, static_cast<uint8_t>(length)};
    uint8_t sum = static_cast<uint8_t>(length);
    for (std::size_t i = 0; i < length; ++i) {
        frame.push_back(static_cast<uint8_t>(i + 1));
        sum = static_cast<uint8_t>(sum + i + 1);
    }
    frame.push_back(sum);
    return frame;
}

std::vector<uint8_t> longFrame(std::size_t length) {
    std::vector<uint8_t> frame = {0x55, 0x2D, 0x80, 0xBB, static_cast<uint8_t>(length)};
    uint8_t sum = static_cast<uint8_t>(0x80 + 0xBB + length);
    for (std::size_t i = 0; i < length; ++i) {
        frame.push_back(0x02);
        sum = static_cast<uint8_t>(sum + 2);
    }
    frame.push_back(sum);
    return frame;
}

using FrameList = std::vector<std::vector<uint8_t>>;

}  // namespace

TEST(FrameParser, RecognisesEachForm) {
    EXPECT_EQ(parse(hexReport("55 4B 01 07 08")), FrameList{hexBytes("4B 01 07 08")});
    EXPECT_EQ(parse(hexReport("55 87")), FrameList{hexBytes("87")});
    EXPECT_EQ(parse(hexReport("55 96")), FrameList{hexBytes("96")});
    EXPECT_EQ(parse(hexReport("55 B4")), FrameList{hexBytes("B4")});
    EXPECT_EQ(parse(hexReport("55 1E 80 A2 00 22")), FrameList{hexBytes("1E 80 A2 00 22")});
    EXPECT_EQ(parse(hexReport("55 5A 80 01 01 09 8B")), FrameList{hexBytes("5A 80 01 01 09 8B")});
    EXPECT_EQ(parse(hexReport("55 4B 00 00")), FrameList{hexBytes("4B 00 00")});
}

TEST(FrameParser, ResynchronisesAfterGarbage) {
    struct Case {
        const char* name;
        const char* bytes;
        FrameList expected;
    };
    const Case cases[] = {
        {"leading garbage", "00 13 AA 55 87", {hexBytes("87")}},
        {"unknown type", "55 11 55 87", {hexBytes("87")}},
        {"report id twice", "55 55 87 55 96", {hexBytes("96")}},
        {"bad checksum then ack", "55 4B 01 07 09 55 87", {hexBytes("87")}},
        {"bad long checksum", "55 1E 80 A2 00 23 55 B4", {hexBytes("B4")}},
        {"empty report", "55", {}},
        {"echo then ack",
         "55 2D 80 E1 01 F0 52 55 87",
         {hexBytes("2D 80 E1 01 F0 52"), hexBytes("87")}},
    };
    for (const Case& c : cases) EXPECT_EQ(parse(hexReport(c.bytes)), c.expected) << c.name;
}

TEST(FrameParser, DataReplyOf60CompletesAnd61NeverDoes) {
    std::vector<uint8_t> sixty = dataFrame(60);
    ASSERT_EQ(sixty.size(), 64u);
    ASSERT_EQ(parse(sixty).size(), 1u);
    EXPECT_EQ(parse(sixty)[0], std::vector<uint8_t>(sixty.begin() + 1, sixty.end()));

    std::vector<uint8_t> sixtyOne = dataFrame(61);
    sixtyOne.resize(64);  // what one report can carry of it
    EXPECT_TRUE(parse(sixtyOne).empty());
}

TEST(FrameParser, LongFrameOf58CompletesAnd59NeverDoes) {
    EXPECT_EQ(parse(longFrame(58)).size(), 1u);
    std::vector<uint8_t> fiftyNine = longFrame(59);
    fiftyNine.resize(64);
    EXPECT_TRUE(parse(fiftyNine).empty());
}

TEST(FrameParser, RestartsAfterSixtyFourBytesWithoutAFrame) {
    // An overlong candidate is dropped after 64 bytes; the next frame counts.
    std::vector<uint8_t> bytes = dataFrame(61);
    bytes.resize(64);
    const std::vector<uint8_t> ack = hexBytes("55 87");
    bytes.insert(bytes.end(), ack.begin(), ack.end());
    EXPECT_EQ(parse(bytes), FrameList{hexBytes("87")});
}

TEST(FrameParser, ResetDropsAPartialFrame) {
    Frames frames;
    FrameParser parser(collect, &frames);
    for (uint8_t byte : hexBytes("55 4B 02 07")) parser.feed(byte);
    parser.reset(collect, &frames);
    for (uint8_t byte : hexBytes("08 09 55 87")) parser.feed(byte);
    EXPECT_EQ(frames.seen, FrameList{hexBytes("87")});
}

// A parser made without a handler completes frames and drops them: it
// never calls through the null handler.
TEST(FrameParser, WorksWithoutAHandler) {
    EXPECT_EXIT(
        {
            FrameParser parser;
            for (uint8_t byte : hexReport("55 87 55 4B 01 07 08")) parser.feed(byte);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(ReplySlot, KeepsOnlyTheFirstFrameOfAReport) {
    ReplySlot slot;
    FrameParser parser(keepFirstReply, &slot);
    for (uint8_t byte : hexReport("55 2D 80 E1 01 F0 52 55 87")) parser.feed(byte);
    ASSERT_EQ(slot.complete, 1);
    EXPECT_EQ(slot.frame[0], 0x2D);

    ReplySlot data;
    parser.reset(keepFirstReply, &data);
    for (uint8_t byte : hexReport("55 4B 01 07 08 55 87")) parser.feed(byte);
    ASSERT_EQ(data.complete, 1);
    EXPECT_EQ(data.frame[0], 0x4B);
    EXPECT_EQ(data.frame[1], 1);
    EXPECT_EQ(data.frame[2], 0x07);
}
