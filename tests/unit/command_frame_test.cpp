#include "protocol/command_frame.h"

#include <gtest/gtest.h>

#include <vector>

#include "hex_bytes.h"

using namespace touchsdk;

namespace {

struct Captured {
    std::vector<uint8_t> frame;
    int calls = 0;
};

void capture(void* context, const uint8_t* frame, uint8_t length) {
    auto* captured = static_cast<Captured*>(context);
    captured->frame.assign(frame, frame + length);
    ++captured->calls;
}

CommandRequest request(FrameType type, uint8_t module, uint8_t command, std::vector<uint8_t> data) {
    CommandRequest r;
    r.type = static_cast<uint8_t>(type);
    r.module = module;
    r.command = command;
    r.dataLength = static_cast<uint8_t>(data.size());
    std::copy(data.begin(), data.end(), r.data.begin());
    return r;
}

Captured encode(const CommandRequest& r) {
    Captured captured;
    encodeFrame(r, FrameSink{capture, &captured});
    return captured;
}

std::vector<uint8_t> reportOf(const CommandRequest& r) {
    std::vector<uint8_t> report(64, 0xEE);
    encodeFrame(r, FrameSink{copyToReport, report.data()});
    return report;
}

}  // namespace

TEST(CommandFrame, GoldenRequestReports) {
    struct Case {
        const char* name;
        CommandRequest request;
        const char* report;
    };
    const Case cases[] = {
        {"working mode query", request(FrameType::Query, 0x80, 0xA2, {}), "55 1E 80 A2 00 22"},
        {"preview on", request(FrameType::Control, 0x80, 0xE5, {1}), "55 3C 80 E5 01 01 67"},
        {"preview off", request(FrameType::Control, 0x80, 0xE5, {0}), "55 3C 80 E5 01 00 66"},
        {"data mode 3", request(FrameType::Set, 0x80, 0xE1, {0xFF}), "55 2D 80 E1 01 FF 61"},
        {"block begin", request(FrameType::Set, 0x80, 0xB8, {0, 0, 0, 0}),
         "55 2D 80 B8 04 00 00 00 00 3C"},
        {"block read 22", request(FrameType::Query, 0x80, 0xBB, {0, 0, 0x16, 0}),
         "55 1E 80 BB 04 00 00 16 00 55"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reportOf(c.request), hexReport(c.report)) << c.name;
    }
}

TEST(CommandFrame, LongestRequestFillsTheReport) {
    const std::vector<uint8_t> data(58, 0x01);
    const Captured captured = encode(request(FrameType::Set, 0x81, 0x10, data));
    ASSERT_EQ(captured.frame.size(), 64u);
    EXPECT_EQ(captured.frame[4], 58);
    EXPECT_EQ(captured.frame[63], static_cast<uint8_t>(0x81 + 0x10 + 58 + 58));
}

TEST(CommandFrame, LengthBeyondOneReportHandsNothing) {
    CommandRequest r = request(FrameType::Set, 0x80, 0x10, {});
    r.dataLength = 59;
    EXPECT_EQ(encode(r).calls, 0);
}

TEST(CommandFrame, ShortAndBareForms) {
    // A short frame reuses the record: module holds the length.
    CommandRequest data = request(FrameType::Data, 0x01, 0x07, {});
    EXPECT_EQ(encode(data).frame, hexBytes("55 4B 01 07 08"));
    CommandRequest ack = request(FrameType::Ack, 0x80, 0xA2, {1, 2});
    EXPECT_EQ(encode(ack).frame, hexBytes("55 87"));
    EXPECT_EQ(encode(request(FrameType::Refused, 0, 0, {})).frame, hexBytes("55 B4"));
}

TEST(CommandFrame, UnknownTypeOrMissingSinkHandsNothing) {
    CommandRequest r = request(FrameType::Query, 0x80, 0xA2, {});
    r.type = 0x1F;
    EXPECT_EQ(encode(r).calls, 0);
    encodeFrame(request(FrameType::Query, 0x80, 0xA2, {}), FrameSink{});  // must not crash
}

TEST(CommandFrame, CopyToReportClearsAndBoundsTheCopy) {
    std::vector<uint8_t> report(64, 0xEE);
    const std::vector<uint8_t> frame = hexBytes("55 87");
    copyToReport(report.data(), frame.data(), 2);
    EXPECT_EQ(report, hexReport("55 87"));
    std::fill(report.begin(), report.end(), 0xEE);
    copyToReport(report.data(), frame.data(), 0);
    EXPECT_EQ(report, std::vector<uint8_t>(64, 0));
    const std::vector<uint8_t> tooLong(65, 0x55);
    copyToReport(report.data(), tooLong.data(), 65);
    EXPECT_EQ(report, std::vector<uint8_t>(64, 0));
}

TEST(CommandFrame, OnlyKnownBytesBecomeFrameTypes) {
    int known = 0;
    for (int byte = 0; byte < 256; ++byte) {
        const auto type = frameTypeFromByte(static_cast<uint8_t>(byte));
        if (!type) continue;
        ++known;
        EXPECT_EQ(static_cast<int>(*type), byte);
    }
    EXPECT_EQ(known, 8);
    EXPECT_TRUE(isRequestType(0x1E) && isRequestType(0x2D) && isRequestType(0x3C));
    EXPECT_FALSE(isRequestType(0x5A) || isRequestType(0x4B) || isRequestType(0x87));
}
