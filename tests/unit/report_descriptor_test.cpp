#include "device/report_descriptor.h"

#include <gtest/gtest.h>

#include <vector>

namespace touchsdk {
namespace {

struct DescriptorCase {
    const char* name;
    std::vector<uint8_t> bytes;
    bool declares;
};

bool scan(const std::vector<uint8_t>& bytes) {
    return declaresReportId(bytes.data(), bytes.size(), 0x55);
}

TEST(ReportDescriptor, FindsOnlyOneByteReportIdItems) {
    const std::vector<DescriptorCase> cases = {
        {"empty", {}, false},
        {"item in the middle", {0x05, 0x0D, 0x85, 0x55, 0x09, 0x01, 0xC0}, true},
        {"item as the last two bytes", {0x05, 0x0D, 0xC0, 0x85, 0x55}, true},
        {"lone tag at the end", {0x05, 0x0D, 0xC0, 0x85}, false},
        {"other report ids only", {0x85, 0x36, 0x85, 0x34, 0xC0}, false},
        // 0x55 as the data of another item is not a Report ID.
        {"0x55 as usage data", {0x09, 0x55, 0x75, 0x08}, false},
        // 85 55 hidden inside a two-byte item's data is stepped over.
        {"inside two-byte data", {0x26, 0x85, 0x55, 0xC0}, false},
        // A Report ID written with a two-byte field is not recognised.
        {"two-byte report id", {0x86, 0x55, 0x00, 0xC0}, false},
        // Long items are stepped over as prefix + 2 bytes: the 85 55 after
        // the two "data" bytes is seen.
        {"after a long item prefix", {0xFE, 0x02, 0x00, 0x85, 0x55}, true},
        {"four-byte item hides it", {0x27, 0x85, 0x55, 0x00, 0x00}, false},
        {"found before later items", {0x85, 0x55, 0x85, 0x37, 0x95, 0x3F}, true},
    };
    for (const DescriptorCase& c : cases) {
        EXPECT_EQ(scan(c.bytes), c.declares) << c.name;
    }
}

TEST(ReportDescriptor, ComparesTheRequestedId) {
    const std::vector<uint8_t> bytes = {0x85, 0x37, 0xC0};
    EXPECT_TRUE(declaresReportId(bytes.data(), bytes.size(), 0x37));
    EXPECT_FALSE(declaresReportId(bytes.data(), bytes.size(), 0x55));
}

TEST(ReportDescriptor, NeverReadsPastTheGivenSize) {
    // The data byte lies beyond the size: the item must not match.
    const std::vector<uint8_t> bytes = {0x05, 0x0D, 0x85, 0x55};
    EXPECT_FALSE(declaresReportId(bytes.data(), 3, 0x55));
}

}  // namespace
}  // namespace touchsdk
