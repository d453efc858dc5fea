#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>

#include "emulated_screen_fixture.h"
#include "usbip_presentation.h"

namespace {

class HungScreen : public tsdtest::EmulatedScreenTest {};

}  // namespace

// A screen whose firmware hangs costs a caller the host's own time-out, and
// no more: the node still closes, since each unlink that the time-out (and
// the close) sends gets its answer, and the screen serves again once it
// answers. Only the kernel holds a request unanswered like this.
TEST_F(HungScreen, RequestTimesOutNodeStillClosesScreenRecovers) {
    if (!tsdtest::onKernel()) GTEST_SKIP() << "USB/IP only: a request the device never completes";
    auto& screen = dynamic_cast<tsdemu::UsbipScreen&>(plugScreen());
    const int fd = ::open(screen.devnode().c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    screen.setResponsive(false);
    std::array<uint8_t, 64> report{};
    report[0] = 0x55;
    EXPECT_LT(::ioctl(fd, HIDIOCGFEATURE(report.size()), report.data()), 0);
    EXPECT_EQ(errno, ETIMEDOUT);
    EXPECT_EQ(::close(fd), 0);

    screen.setResponsive(true);
    TouchScreenHandle handle = openScreen(screen);
    uint8_t mode = 0xAA;
    EXPECT_EQ(TsdGetTouchScreenHidMode(handle, &mode), TSD_OK);
    EXPECT_EQ(mode, 0);
}
