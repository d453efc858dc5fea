#include "device/supported_devices.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
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

// One assignment or match of a udev rule line: KEY or KEY{ATTR}, an
// operator, a quoted value. Match keys take only == and !=, assignments only
// =, += and :=, as udev itself insists.
using UdevRuleLine = std::map<std::string, std::string>;  // "KEY OP" -> value

bool parseUdevRuleLine(const std::string& line, UdevRuleLine& out) {
    static const std::regex item(
        R"re(\s*([A-Z]+(\{[A-Za-z_]+\})?)(==|!=|\+=|:=|=)"([^"]*)"\s*(,|$))re");
    static const std::set<std::string> matchKeys = {"SUBSYSTEM", "ATTRS{idVendor}",
                                                    "ATTRS{idProduct}"};
    static const std::set<std::string> assignKeys = {"TAG", "GROUP", "MODE"};
    auto at = line.cbegin();
    std::smatch m;
    while (at != line.cend()) {
        if (!std::regex_search(at, line.cend(), m, item, std::regex_constants::match_continuous))
            return false;
        const std::string key = m[1], op = m[3];
        const bool isMatch = op == "==" || op == "!=";
        if (!(isMatch ? matchKeys : assignKeys).count(key)) return false;
        if (!out.emplace(key + " " + op, m[4]).second) return false;
        at = m[0].second;
    }
    return true;
}

TEST(SupportedDevices, UdevRuleOpensExactlyTheListedScreensToSeatAndGroup) {
    std::ifstream rule(TSD_UDEV_RULE_FILE);
    ASSERT_TRUE(rule) << TSD_UDEV_RULE_FILE;
    std::set<std::pair<uint16_t, uint16_t>> granted;
    std::string line;
    while (std::getline(rule, line)) {
        if (line.empty() || line[0] == '#') continue;
        UdevRuleLine keys;
        ASSERT_TRUE(parseUdevRuleLine(line, keys)) << line;
        ASSERT_EQ(keys.size(), 6u) << line;
        EXPECT_EQ(keys["SUBSYSTEM =="], "hidraw") << line;
        EXPECT_EQ(keys["TAG +="], "uaccess") << line;
        EXPECT_EQ(keys["GROUP ="], "touchsdk") << line;
        EXPECT_EQ(keys["MODE ="], "0660") << line;
        // sysfs writes the IDs as four lower-case hex digits.
        const std::regex id("[0-9a-f]{4}");
        const std::string vendor = keys["ATTRS{idVendor} =="];
        const std::string product = keys["ATTRS{idProduct} =="];
        ASSERT_TRUE(std::regex_match(vendor, id) && std::regex_match(product, id)) << line;
        EXPECT_TRUE(granted
                        .insert({static_cast<uint16_t>(std::stoul(vendor, nullptr, 16)),
                                 static_cast<uint16_t>(std::stoul(product, nullptr, 16))})
                        .second)
            << "twice: " << line;
    }
    std::set<std::pair<uint16_t, uint16_t>> listed;
    for (std::size_t i = 0; i < kSupportedDeviceCount; ++i)
        listed.insert({SupportedDeviceList[i].vendorId, SupportedDeviceList[i].productId});
    EXPECT_EQ(granted, listed);
}

}  // namespace
}  // namespace touchsdk
