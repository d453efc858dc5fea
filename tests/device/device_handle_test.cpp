#include "device/device_handle.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cwchar>
#include <string>
#include <vector>

#include "emulated_screen_fixture.h"

namespace {

class DeviceHandle : public tsdtest::EmulatedScreenTest {
protected:
    std::wstring serialOf(TouchScreenHandle handle) {
        uint32_t needed = 0;
        EXPECT_EQ(TsdGetTouchScreenSerialNumber(handle, nullptr, 0, &needed), TSD_FAILURE);
        std::vector<wchar_t> buffer(needed / sizeof(wchar_t));
        EXPECT_EQ(TsdGetTouchScreenSerialNumber(handle, buffer.data(), needed, nullptr), TSD_OK);
        return buffer.data();
    }
};

TEST_F(DeviceHandle, OpensAndReadsTheSerialNumber) {
    tsdemu::ScreenIdentity identity;
    identity.serial = "ABC";
    TouchScreenHandle handle = plugAndOpen(identity);
    ASSERT_NE(handle, nullptr);

    uint32_t needed = 0;
    EXPECT_EQ(TsdGetTouchScreenSerialNumber(handle, nullptr, 0, &needed), TSD_FAILURE);
    EXPECT_EQ(needed, 16U);  // three letters and the terminator

    wchar_t exact[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_EQ(TsdGetTouchScreenSerialNumber(handle, exact, sizeof exact, nullptr), TSD_OK);
    EXPECT_EQ(std::wstring(exact), L"ABC");
    EXPECT_EQ(exact[3], L'\0');

    wchar_t tooSmall[3] = {L'x', L'x', L'x'};
    needed = 0;
    EXPECT_EQ(TsdGetTouchScreenSerialNumber(handle, tooSmall, sizeof tooSmall, &needed),
              TSD_FAILURE);
    EXPECT_EQ(needed, 16U);
    EXPECT_EQ(tooSmall[0], L'x');  // nothing copied
}

TEST_F(DeviceHandle, SerialNumberIsWidenedBytewise) {
    TSD_UMOCKDEV_ONLY("the kernel turns a USB serial into UTF-8; only umockdev holds raw bytes");
    tsdemu::ScreenIdentity identity;
    identity.serial = "S\xE9N";
    EXPECT_EQ(serialOf(plugAndOpen(identity)), std::wstring(L"S\u00E9N"));

    tsdemu::ScreenIdentity none;
    none.serial.reset();
    TouchScreenHandle handle = plugAndOpen(none);
    uint32_t needed = 0;
    wchar_t buffer[1] = {L'x'};
    EXPECT_EQ(TsdGetTouchScreenSerialNumber(handle, buffer, sizeof buffer, &needed), TSD_OK);
    EXPECT_EQ(needed, 4U);
    EXPECT_EQ(buffer[0], L'\0');
}

TEST_F(DeviceHandle, SameScreenTwiceGivesTwoDescriptors) {
    const tsdemu::PresentedScreen& screen = plugScreen();
    TouchScreenHandle first = openScreen(screen);
    TouchScreenHandle second = openScreen(screen);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(touchsdk::recordOf(first)->fd, touchsdk::recordOf(second)->fd);
    forget(first);
    EXPECT_EQ(TsdCloseTouchScreen(first), TSD_OK);
    EXPECT_EQ(serialOf(second), L"EMU000001");
}

TEST_F(DeviceHandle, DescriptorIsCloseOnExec) {
    TouchScreenHandle handle = plugAndOpen();
    ASSERT_NE(handle, nullptr);
    const int flags = ::fcntl(touchsdk::recordOf(handle)->fd, F_GETFD);
    EXPECT_NE(flags & FD_CLOEXEC, 0);
}

TEST_F(DeviceHandle, RefusesWhatCannotBeOpened) {
    const tsdemu::PresentedScreen& screen = plugScreen();
    TouchScreenHandle handle = reinterpret_cast<TouchScreenHandle>(0x1);
    EXPECT_EQ(TsdOpenTouchScreenA(screen.syspath().c_str(), nullptr), TSD_FAILURE);
    EXPECT_EQ(TsdOpenTouchScreenA(nullptr, &handle), TSD_FAILURE);
    EXPECT_EQ(TsdOpenTouchScreenA("/sys/devices/nothing/here", &handle), TSD_FAILURE);
    EXPECT_EQ(TsdOpenTouchScreenA(screen.devnode().c_str(), &handle), TSD_FAILURE);

    // A USB/IP screen always has its USB parent, and root opens any node.
    if (!tsdtest::onKernel()) {
        tsdemu::ScreenIdentity noUsb;
        noUsb.usbAncestor = false;
        EXPECT_EQ(TsdOpenTouchScreenA(plugScreen(noUsb).syspath().c_str(), &handle), TSD_FAILURE);
        tsdemu::ScreenIdentity unopenable;
        unopenable.openable = false;
        EXPECT_EQ(TsdOpenTouchScreenA(plugScreen(unopenable).syspath().c_str(), &handle),
                  TSD_FAILURE);
    }
    EXPECT_EQ(handle, reinterpret_cast<TouchScreenHandle>(0x1));  // never written on failure

    EXPECT_EQ(TsdCloseTouchScreen(nullptr), TSD_FAILURE);
    EXPECT_EQ(TsdGetTouchScreenSerialNumber(nullptr, nullptr, 0, nullptr), TSD_FAILURE);
    // A failure reads as -1 when stored in a signed 32-bit integer.
    EXPECT_EQ(static_cast<int32_t>(TsdCloseTouchScreen(nullptr)), -1);
}

TEST_F(DeviceHandle, WideOpen) {
    const tsdemu::PresentedScreen& screen = plugScreen();
    const std::wstring path(screen.syspath().begin(), screen.syspath().end());
    TouchScreenHandle handle = nullptr;
    ASSERT_EQ(TsdOpenTouchScreenW(path.c_str(), &handle), TSD_OK);
    EXPECT_EQ(TsdCloseTouchScreen(handle), TSD_OK);
    EXPECT_EQ(TsdOpenTouchScreenW(nullptr, &handle), TSD_FAILURE);
    EXPECT_EQ(TsdOpenTouchScreenW(path.c_str(), nullptr), TSD_FAILURE);
}

TEST_F(DeviceHandle, ClosingReleasesTheDescriptor) {
    const tsdemu::PresentedScreen& screen = plugScreen();
    const std::size_t before = openNodeCount(screen);
    TouchScreenHandle handle = nullptr;
    ASSERT_EQ(TsdOpenTouchScreenA(screen.syspath().c_str(), &handle), TSD_OK);
    EXPECT_EQ(openNodeCount(screen), before + 1);
    EXPECT_EQ(TsdCloseTouchScreen(handle), TSD_OK);
    EXPECT_EQ(openNodeCount(screen), before);

    // A close() that reports an error still ends the handle: it must not
    // keep a number that may belong to the next open (a leak shows under ASan).
    TouchScreenHandle failing = openScreen(screen);
    ASSERT_NE(failing, nullptr);
    forget(failing);
    ASSERT_EQ(::close(touchsdk::recordOf(failing)->fd), 0);
    EXPECT_EQ(TsdCloseTouchScreen(failing), TSD_FAILURE);
    EXPECT_EQ(openNodeCount(screen), before);
}

}  // namespace
