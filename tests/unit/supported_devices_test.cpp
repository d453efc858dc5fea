#include "device/supported_devices.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace touchsdk {
namespace {

TEST(SupportedDevices, TenDistinctEntriesThenTheTerminator) {
    std::set<std::pair<uint16_t, uint16_t>> seen;
    for (std::size_t i = 0; i < kSupportedDeviceCount; ++i) {
        const SupportedDevice& entry = SupportedDeviceList[i];
        EXPECT_FALSE(entry.vendorId == 0 && entry.productId == 0) << "entry " << i;
        EXPECT_TRUE(seen.insert({entry.vendorId, entry.productId}).second) << "entry " << i;
    }
    EXPECT_EQ(SupportedDeviceList[kSupportedDeviceCount].vendorId, 0);
    EXPECT_EQ(SupportedDeviceList[kSupportedDeviceCount].productId, 0);
}

TEST(SupportedDevices, MatchesBothIdsAsUnsignedValues) {
    const SupportedDevice list[] = {{0x8001, 0xFFFF}, {0x0000, 0x0042}, {0, 0}};
    EXPECT_TRUE(isSupportedDevice(list, 0x8001, 0xFFFF));
    EXPECT_FALSE(isSupportedDevice(list, 0x8001, 0xFFFE));
    EXPECT_FALSE(isSupportedDevice(list, 0x8000, 0xFFFF));
    // One zero value makes an ordinary entry, not the end of the list.
    EXPECT_TRUE(isSupportedDevice(list, 0x0000, 0x0042));
    EXPECT_FALSE(isSupportedDevice(list, 0x0000, 0x0000));
}

}  // namespace
}  // namespace touchsdk
