// The feature-report I/O and the exchange's pause of a fuzz build.
#include "fuzz_screen.h"

#include "fuzz_check.h"
#include "protocol/exchange_pause.h"

namespace tsdfuzz {
namespace {

Screen* current = nullptr;
bool foundGone = false;
CallCounts counts;

void checkRequestReport(const touchsdk::FeatureReport& report) {
    FUZZ_CHECK(report[0] == touchsdk::kCommandReportId);
    FUZZ_CHECK(touchsdk::isRequestType(report[1]));
    const std::size_t length = report[4];
    FUZZ_CHECK(length <= touchsdk::kMaxRequestData);
    uint8_t sum = 0;
    for (std::size_t i = 2; i < 5 + length; ++i) sum = static_cast<uint8_t>(sum + report[i]);
    FUZZ_CHECK(report[5 + length] == sum);
    for (std::size_t i = 6 + length; i < report.size(); ++i) FUZZ_CHECK(report[i] == 0);
}

touchsdk::FeatureIo noted(touchsdk::FeatureIo io) {
    if (io == touchsdk::FeatureIo::Gone) foundGone = true;
    return io;
}

}  // namespace

void useScreen(Screen* screen) {
    current = screen;
    beginOperation();
}

void beginOperation() {
    foundGone = false;
    counts = {};
}

CallCounts callCounts() { return counts; }

}  // namespace tsdfuzz

namespace touchsdk {

FeatureIo setFeatureReport(TouchScreenHandle, const FeatureReport& report) {
    FUZZ_CHECK(!tsdfuzz::foundGone);
    ++tsdfuzz::counts.sets;
    tsdfuzz::checkRequestReport(report);
    if (tsdfuzz::current == nullptr) return tsdfuzz::noted(FeatureIo::Gone);
    return tsdfuzz::noted(tsdfuzz::current->set(report));
}

FeatureIo getFeatureReport(TouchScreenHandle, FeatureReport& report) {
    FUZZ_CHECK(!tsdfuzz::foundGone);
    ++tsdfuzz::counts.gets;
    FUZZ_CHECK(report[0] == kCommandReportId);
    if (tsdfuzz::current == nullptr) return tsdfuzz::noted(FeatureIo::Gone);
    return tsdfuzz::noted(tsdfuzz::current->get(report));
}

void pauseMilliseconds(uint8_t) { ++tsdfuzz::counts.pauses; }

}  // namespace touchsdk
