#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "emulated_screen_fixture.h"
#include "input_reports.h"

namespace {

class UnreadReports : public tsdtest::EmulatedScreenTest {};

std::vector<uint8_t> numberedReport(unsigned number) {
    std::vector<uint8_t> report(tsdemu::kContactReportSize, 0);
    report[0] = tsdemu::kTouchReportId;
    report[1] = static_cast<uint8_t>(number);
    report[2] = static_cast<uint8_t>(number >> 8);
    return report;
}

}  // namespace

// An application that never reads must not freeze the emulated screens:
// far more reports than the node holds go in, the oldest are dropped, and
// commands (which share the testbed's lock) still get answers.
TEST_F(UnreadReports, FullNodeDropsOldestAndCommandsStillWork) {
    TSD_UMOCKDEV_ONLY(
        "a reader opened late gets the reports held before; a kernel reader starts empty");
    tsdemu::PresentedScreen& screen = plugScreen();
    TouchScreenHandle handle = openScreen(screen);
    ASSERT_NE(handle, nullptr);
    constexpr unsigned kPushed = 20000;
    for (unsigned n = 0; n < kPushed; ++n) screen.pushReport(numberedReport(n));
    const std::size_t held = screen.pendingReports();
    ASSERT_GT(held, 0U);
    ASSERT_LT(held, 1000U);

    uint8_t mode = 0xAA;
    EXPECT_EQ(TsdGetTouchScreenHidMode(handle, &mode), TSD_OK);

    const int fd = ::open(screen.devnode().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::vector<unsigned> numbers;
    uint8_t buffer[64];
    while (::read(fd, buffer, sizeof buffer) > 0) {
        numbers.push_back(buffer[1] | static_cast<unsigned>(buffer[2]) << 8);
    }
    ::close(fd);
    ASSERT_EQ(numbers.size(), held);
    // The newest reports survive, in order.
    EXPECT_EQ(numbers.front(), kPushed - held);
    EXPECT_EQ(numbers.back(), kPushed - 1);
}
