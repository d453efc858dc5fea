#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "emulated_screen_fixture.h"
#include "input_reports.h"
#include "node_file.h"

namespace {

class UnreadReports : public tsdtest::EmulatedScreenTest {};

std::vector<uint8_t> numberedReport(unsigned number) {
    std::vector<uint8_t> report(tsdemu::kContactReportSize, 0);
    report[0] = tsdemu::kTouchReportId;
    report[1] = static_cast<uint8_t>(number);
    report[2] = static_cast<uint8_t>(number >> 8);
    return report;
}

std::vector<unsigned> readNumbers(int fd) {
    std::vector<unsigned> numbers;
    uint8_t buffer[64];
    while (::read(fd, buffer, sizeof buffer) > 0) {
        numbers.push_back(buffer[1] | static_cast<unsigned>(buffer[2]) << 8);
    }
    return numbers;
}

}  // namespace

// An application that never reads must not freeze the emulated screens:
// far more reports than a reader holds go in, and commands (which share
// the testbed's lock) still get answers. Like the kernel's, each reader
// keeps the first reports and drops the new ones, and a reader that opens
// later starts empty.
TEST_F(UnreadReports, FullNodeKeepsTheFirstAndCommandsStillWork) {
    TSD_UMOCKDEV_ONLY(
        "counts what the emulated node holds; the raw probe compares the "
        "kernel's queue (scripts/probe-compare.sh)");
    tsdemu::PresentedScreen& screen = plugScreen();
    TouchScreenHandle handle = openScreen(screen);
    ASSERT_NE(handle, nullptr);
    uint8_t mode = 0xAA;
    // Asked before the next open, as an application does: an open that made
    // no request yet can share its readiness with the next one (tsd-emulate(1)).
    EXPECT_EQ(TsdGetTouchScreenHidMode(handle, &mode), TSD_OK);
    const int early = ::open(screen.devnode().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(early, 0);
    constexpr unsigned kPushed = 20000;
    for (unsigned n = 0; n < kPushed; ++n) screen.pushReport(numberedReport(n));
    EXPECT_EQ(screen.pendingReports(), tsdemu::NodeFile::kQueueDepth);

    EXPECT_EQ(TsdGetTouchScreenHidMode(handle, &mode), TSD_OK);

    const int late = ::open(screen.devnode().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(late, 0);
    EXPECT_TRUE(readNumbers(late).empty());
    const std::vector<unsigned> numbers = readNumbers(early);
    ::close(late);
    ::close(early);
    ASSERT_EQ(numbers.size(), tsdemu::NodeFile::kQueueDepth);
    EXPECT_EQ(numbers.front(), 0U);
    EXPECT_EQ(numbers.back(), tsdemu::NodeFile::kQueueDepth - 1);
}
