#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "emulated_screen_fixture.h"

namespace {

struct Found {
    std::string syspath;
    std::optional<std::wstring> serial;
};

struct FoundWide {
    std::optional<std::wstring> syspath;
    std::optional<std::wstring> serial;
};

void collect(void* context, const char* syspath, const wchar_t* serial) {
    auto* found = static_cast<std::vector<Found>*>(context);
    found->push_back(
        {syspath, serial != nullptr ? std::optional<std::wstring>(serial) : std::nullopt});
}

void collectWide(void* context, const wchar_t* syspath, const wchar_t* serial) {
    auto* found = static_cast<std::vector<FoundWide>*>(context);
    found->push_back({syspath != nullptr ? std::optional<std::wstring>(syspath) : std::nullopt,
                      serial != nullptr ? std::optional<std::wstring>(serial) : std::nullopt});
}

std::vector<Found> enumerate() {
    std::vector<Found> found;
    TsdEnumTouchScreensA(collect, &found);
    return found;
}

class Discovery : public tsdtest::EmulatedScreenTest {};

TEST_F(Discovery, NoScreenNoCall) {
    EXPECT_TRUE(enumerate().empty());
    std::vector<FoundWide> wide;
    TsdEnumTouchScreensW(collectWide, &wide);
    EXPECT_TRUE(wide.empty());
}

TEST_F(Discovery, ReportsSupportedScreensWithSyspathAndSerial) {
    const tsdemu::PresentedScreen& first = plugScreen();
    tsdemu::ScreenIdentity other;
    other.vendorId = 0x9B07;
    other.productId = 0xC3D2;  // both IDs at or above 0x8000
    other.serial = "ZX-42";
    const tsdemu::PresentedScreen& second = plugScreen(other);
    const std::vector<Found> found = enumerate();
    ASSERT_EQ(found.size(), 2U);
    EXPECT_EQ(found[0].syspath, first.syspath());
    EXPECT_EQ(found[0].serial, std::wstring(L"EMU000001"));
    EXPECT_EQ(found[1].syspath, second.syspath());
    EXPECT_EQ(found[1].serial, std::wstring(L"ZX-42"));
}

TEST_F(Discovery, SkipsWhatDoesNotQualify) {
    tsdemu::ScreenIdentity unlisted;
    unlisted.productId = 0x0003;
    plugScreen(unlisted);
    tsdemu::ScreenIdentity otherInterface;
    otherInterface.descriptor = tsdemu::DescriptorKind::NoCommandReport;
    plugScreen(otherInterface);
    // The kernel's HID parser refuses a descriptor ending in a lone tag, so
    // such a screen never gets a node; a USB/IP screen always has its USB
    // parent, and root opens any node.
    if (!tsdtest::onKernel()) {
        tsdemu::ScreenIdentity loneTag;
        loneTag.descriptor = tsdemu::DescriptorKind::LoneReportIdTagAtEnd;
        plugScreen(loneTag);
        tsdemu::ScreenIdentity noUsb;
        noUsb.usbAncestor = false;
        plugScreen(noUsb);
        tsdemu::ScreenIdentity unopenable;
        unopenable.openable = false;
        plugScreen(unopenable);
    }
    tsdemu::ScreenIdentity atEnd;
    atEnd.descriptor = tsdemu::DescriptorKind::CommandReportAtEnd;
    const tsdemu::PresentedScreen& qualifying = plugScreen(atEnd);

    const std::vector<Found> found = enumerate();
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0].syspath, qualifying.syspath());
}

TEST_F(Discovery, MissingSerialIsNull) {
    tsdemu::ScreenIdentity identity;
    identity.serial.reset();
    plugScreen(identity);
    const std::vector<Found> found = enumerate();
    ASSERT_EQ(found.size(), 1U);
    EXPECT_FALSE(found[0].serial.has_value());
}

TEST_F(Discovery, NullCallbackScansAndClosesEveryNode) {
    const tsdemu::PresentedScreen& screen = plugScreen();
    const std::size_t before = openNodeCount(screen);
    TsdEnumTouchScreensA(nullptr, nullptr);
    TsdEnumTouchScreensW(nullptr, nullptr);
    EXPECT_EQ(openNodeCount(screen), before);
}

TEST_F(Discovery, CallbackMayOpenTheScreenItReports) {
    plugScreen();
    struct Opened {
        int count = 0;
    } opened;
    TsdEnumTouchScreensA(
        [](void* context, const char* syspath, const wchar_t*) {
            TouchScreenHandle handle = nullptr;
            if (TsdOpenTouchScreenA(syspath, &handle) != TSD_OK) return;
            static_cast<Opened*>(context)->count++;
            TsdCloseTouchScreen(handle);
        },
        &opened);
    EXPECT_EQ(opened.count, 1);
}

TEST_F(Discovery, WideVariantConvertsThePath) {
    const tsdemu::PresentedScreen& screen = plugScreen();
    std::vector<FoundWide> found;
    TsdEnumTouchScreensW(collectWide, &found);
    ASSERT_EQ(found.size(), 1U);
    const std::wstring expected(screen.syspath().begin(), screen.syspath().end());
    EXPECT_EQ(found[0].syspath, expected);
    EXPECT_EQ(found[0].serial, std::wstring(L"EMU000001"));
}

}  // namespace
