#include "touch/report_decoding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace touchsdk {
namespace {

std::vector<uint8_t> hex(const std::string& text) {
    std::istringstream in(text);
    std::vector<uint8_t> bytes;
    std::string byte;
    while (in >> byte)
        bytes.push_back(static_cast<uint8_t>(std::strtoul(byte.c_str(), nullptr, 16)));
    return bytes;
}

// TouchPoint is packed; copy it into a plain record before comparing.
struct Point {
    int state, id;
    float x, y, width, height;
    int scanTime;
    int kind;  // the report ID whose callback received it
};

struct Calls {
    std::vector<Point> points;
    std::vector<std::pair<int, int>> keys;
    std::vector<std::vector<uint8_t>> diagnoses;
};

template <int Kind>
void onPoint(void* context, TouchPoint* point) {
    const TouchPoint copy = *point;
    static_cast<Calls*>(context)->points.push_back(
        {copy.state, copy.id, copy.x, copy.y, copy.width, copy.height, copy.scanTime, Kind});
}

void onKey(void* context, VirtualKeyEvent* event) {
    static_cast<Calls*>(context)->keys.emplace_back(event->key, event->state);
}

void onDiagnosis(void* context, uint8_t* data) {
    static_cast<Calls*>(context)->diagnoses.emplace_back(data, data + TSD_DIAGNOSIS_DATA_SIZE);
}

template <typename Callback>
CallbackSlot slotOf(Callback callback, Calls& calls) {
    return {reinterpret_cast<ErasedCallback>(callback), &calls};
}

class ReportDecoding : public ::testing::Test {
protected:
    ReportDecoding() {
        EXPECT_TRUE(slots.fill(0, slotOf(onDiagnosis, calls)));
        EXPECT_TRUE(slots.fill(1, slotOf(onPoint<0x34>, calls)));
        EXPECT_TRUE(slots.fill(2, slotOf(onPoint<0x36>, calls)));
        EXPECT_TRUE(slots.fill(3, slotOf(onKey, calls)));
    }
    void decode(const std::vector<uint8_t>& packet) {
        dispatchPacket(packet.data(), static_cast<uint32_t>(packet.size()), slots);
    }

    CallbackSlots slots;
    Calls calls;
};

// Two contacts: entry 0 touching (flags 05) id 3 at (0x0102, 0x0304) size
// (0x0010, 0x0020); entry 1 present but lifted (flags 04) id 4 at
// (0x1000, 0x2000) size (1, 2); scan time 0xBEEF; count as given.
std::string twoContacts(const char* id, const char* count) {
    return std::string(id) +
           " 05 03 02 01 04 03 10 00 20 00"
           " 04 04 00 10 00 20 01 00 02 00"
           " EF BE " +
           count;
}

TEST_F(ReportDecoding, TouchReportGivesOneCallPerContactInEntryOrder) {
    decode(hex(twoContacts("36", "02")));
    ASSERT_EQ(calls.points.size(), 2u);
    const Point& first = calls.points[0];
    EXPECT_EQ(first.kind, 0x36);
    EXPECT_EQ(first.state, 1);
    EXPECT_EQ(first.id, 3);
    EXPECT_EQ(first.x, 258.0f);
    EXPECT_EQ(first.y, 772.0f);
    EXPECT_EQ(first.width, 16.0f);
    EXPECT_EQ(first.height, 32.0f);
    EXPECT_EQ(first.scanTime, 0xBEEF);
    const Point& second = calls.points[1];
    EXPECT_EQ(second.state, 0) << "bit 2 set, bit 0 clear: present but lifted";
    EXPECT_EQ(second.id, 4);
    EXPECT_EQ(second.x, 4096.0f);
    EXPECT_EQ(second.y, 8192.0f);
    EXPECT_EQ(second.scanTime, 0xBEEF);
}

TEST_F(ReportDecoding, RawTouchReportReachesTheRawTouchCallback) {
    decode(hex(twoContacts("34", "01")));
    ASSERT_EQ(calls.points.size(), 1u);
    EXPECT_EQ(calls.points[0].kind, 0x34);
    EXPECT_EQ(calls.points[0].id, 3);
}

TEST_F(ReportDecoding, ContactCountIsCappedAtTheTwoEntries) {
    struct Case {
        const char* count;
        std::size_t calls;
    };
    for (const Case& c :
         {Case{"00", 0}, Case{"01", 1}, Case{"02", 2}, Case{"05", 2}, Case{"FF", 2}}) {
        calls.points.clear();
        decode(hex(twoContacts("36", c.count)));
        EXPECT_EQ(calls.points.size(), c.calls) << "count " << c.count;
    }
}

TEST_F(ReportDecoding, EntryWithoutThePresentBitIsSkipped) {
    // Entry 0 has flags 03 (touching, bit 2 clear); entry 1 is present.
    decode(
        hex("36 03 07 01 00 01 00 01 00 01 00"
            "   05 08 02 00 02 00 02 00 02 00"
            "   00 00 02"));
    ASSERT_EQ(calls.points.size(), 1u);
    EXPECT_EQ(calls.points[0].id, 8);
}

TEST_F(ReportDecoding, LargestValuesWidenExactly) {
    decode(
        hex("36 05 FF FF FF FF FF FF FF FF FF"
            "   00 00 00 00 00 00 00 00 00 00"
            "   FF FF 01"));
    ASSERT_EQ(calls.points.size(), 1u);
    const Point& p = calls.points[0];
    EXPECT_EQ(p.id, 255);
    EXPECT_EQ(p.x, 65535.0f);
    EXPECT_EQ(p.y, 65535.0f);
    EXPECT_EQ(p.width, 65535.0f);
    EXPECT_EQ(p.height, 65535.0f);
    EXPECT_EQ(p.scanTime, 65535);
}

TEST_F(ReportDecoding, VirtualKeyStatesOtherThanZeroAndOneAreDropped) {
    decode(hex("38 05 01"));
    decode(hex("38 05 02"));
    decode(hex("38 06 00"));
    decode(hex("38 07 FF"));
    EXPECT_EQ(calls.keys, (std::vector<std::pair<int, int>>{{5, 1}, {6, 0}}));
}

TEST_F(ReportDecoding, BackToBackReportsInOnePacketAreDecodedInOrder) {
    decode(hex("38 01 01 38 02 00"));
    EXPECT_EQ(calls.keys, (std::vector<std::pair<int, int>>{{1, 1}, {2, 0}}));
}

TEST_F(ReportDecoding, LeadingJunkIsSkippedUntilAReportId) {
    decode(hex("00 FF 12 35 39 38 09 01"));
    EXPECT_EQ(calls.keys, (std::vector<std::pair<int, int>>{{9, 1}}));
}

TEST_F(ReportDecoding, DiagnosisPayloadIsPassedOnUnchanged) {
    std::vector<uint8_t> packet{0x37};
    for (int i = 0; i < TSD_DIAGNOSIS_DATA_SIZE; ++i)
        packet.push_back(static_cast<uint8_t>(0xC0 ^ i));
    decode(packet);
    ASSERT_EQ(calls.diagnoses.size(), 1u);
    EXPECT_EQ(calls.diagnoses[0], std::vector<uint8_t>(packet.begin() + 1, packet.end()));
}

TEST_F(ReportDecoding, TruncatedReportsAndWhatFollowsAreDropped) {
    // A cut-off report is never read past the packet: each case gives no call.
    for (const char* packet : {"37 00 01 02 03 04 05 06 07 08 09", "38 05", "38",
                               "36 05 01 00 00 00 00 00 00 00 00", "38 01 01 37 38 02 01"}) {
        Calls fresh;
        slots.clearAll(false);
        ASSERT_TRUE(slots.fill(0, slotOf(onDiagnosis, fresh)));
        ASSERT_TRUE(slots.fill(2, slotOf(onPoint<0x36>, fresh)));
        ASSERT_TRUE(slots.fill(3, slotOf(onKey, fresh)));
        decode(hex(packet));
        EXPECT_TRUE(fresh.diagnoses.empty() && fresh.points.empty()) << packet;
        EXPECT_LE(fresh.keys.size(), 1u) << packet;
    }
}

TEST_F(ReportDecoding, UnregisteredKindIsConsumedAndLaterReportsStillDecoded) {
    ASSERT_TRUE(slots.clear(2, false));
    // A touch report whose payload holds 38 bytes, then a virtual key.
    decode(
        hex("36 05 38 38 38 38 38 38 38 38 38"
            "   00 00 00 00 00 00 00 00 00 00"
            "   00 00 01"
            "   38 04 01"));
    EXPECT_TRUE(calls.points.empty());
    EXPECT_EQ(calls.keys, (std::vector<std::pair<int, int>>{{4, 1}}));
}

TEST(ReportTable, RowsMatchTheSlotsAndReportSizes) {
    EXPECT_EQ(slotIndexOf(0x37), 0u);
    EXPECT_EQ(slotIndexOf(0x34), 1u);
    EXPECT_EQ(slotIndexOf(0x36), 2u);
    EXPECT_EQ(slotIndexOf(0x38), 3u);
    EXPECT_FALSE(slotIndexOf(0x55).has_value());
    EXPECT_EQ(ReportTable[0].payloadLength + 1, 64);
    EXPECT_EQ(ReportTable[2].payloadLength + 1, 24);
    EXPECT_EQ(ReportTable[3].payloadLength + 1, 3);
}

}  // namespace
}  // namespace touchsdk
