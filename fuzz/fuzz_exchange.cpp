// The whole command exchange against a screen whose every answer comes from
// the fuzz input: each call's outcome (done, interrupted, failed, gone) and
// each reply report, raw bytes or a well-formed frame. Drives the exchange
// itself, the mode commands and exports, block transfer and the calibration
// commands and exports. Besides the checks on every request (fuzz_screen),
// a Data reply is never longer than a report can carry nor copied past the
// caller's buffer, the schedule's limits hold, and values handed back are
// ones the interface defines.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "calibration/calibration_commands.h"
#include "device/device_handle.h"
#include "fuzz_check.h"
#include "fuzz_screen.h"
#include "protocol/block_transfer.h"
#include "protocol/exchange.h"
#include "protocol/mode_commands.h"
#include "touchsdk.h"

using namespace touchsdk;

namespace {

constexpr std::array<uint8_t, 8> kReplyTypes = {0x87, 0x96, 0xB4, 0x4B, 0x1E, 0x2D, 0x3C, 0x5A};

class InputScreen : public tsdfuzz::Screen {
public:
    explicit InputScreen(FuzzedDataProvider& input) : input_(input) {}

    FeatureIo set(const FeatureReport&) override { return outcome(); }

    FeatureIo get(FeatureReport& report) override {
        const FeatureIo io = outcome();
        if (io != FeatureIo::Done) return io;
        report.fill(0);
        switch (input_.ConsumeIntegralInRange<uint8_t>(0, 3)) {
            case 0: {  // raw bytes
                const std::vector<uint8_t> bytes = input_.ConsumeBytes<uint8_t>(report.size());
                std::copy(bytes.begin(), bytes.end(), report.begin());
                break;
            }
            case 1:  // a bare frame or a request echo, maybe after other bytes
                report[input_.ConsumeIntegralInRange<std::size_t>(0, 62)] = kCommandReportId;
                placeAfterId(report, input_.PickValueInArray(kReplyTypes));
                break;
            case 2:
                dataFrame(report);
                break;
            default:  // nothing to say yet
                break;
        }
        return FeatureIo::Done;
    }

private:
    FeatureIo outcome() {
        // An input used up is a screen unplugged: every exchange then ends.
        if (input_.remaining_bytes() == 0) return FeatureIo::Gone;
        const uint8_t byte = input_.ConsumeIntegral<uint8_t>();
        if (byte < 8) return FeatureIo::Interrupted;
        if (byte < 16) return FeatureIo::Failed;
        if (byte < 20) return FeatureIo::Gone;
        return FeatureIo::Done;
    }

    static void placeAfterId(FeatureReport& report, uint8_t type) {
        for (std::size_t i = 0; i + 1 < report.size(); ++i) {
            if (report[i] == kCommandReportId) {
                report[i + 1] = type;
                return;
            }
        }
    }

    // A Data frame of any announced length, its checksum right or not.
    void dataFrame(FeatureReport& report) {
        const auto length = input_.ConsumeIntegralInRange<uint8_t>(0, 63);
        report[0] = kCommandReportId;
        report[1] = static_cast<uint8_t>(FrameType::Data);
        report[2] = length;
        uint8_t sum = length;
        for (std::size_t i = 0; i < length && 3 + i < report.size(); ++i) {
            report[3 + i] = input_.ConsumeIntegral<uint8_t>();
            sum = static_cast<uint8_t>(sum + report[3 + i]);
        }
        if (3u + length < report.size()) {
            report[3u + length] = input_.ConsumeBool() ? sum : input_.ConsumeIntegral<uint8_t>();
        }
    }

    FuzzedDataProvider& input_;
};

constexpr uint8_t kGuard = 0xC5;

void exchangeDirectly(TouchScreenHandle handle, FuzzedDataProvider& input) {
    static constexpr std::array<CommandType, 3> kTypes = {CommandType::Query, CommandType::Set,
                                                          CommandType::Control};
    const CommandType type = input.PickValueInArray(kTypes);
    const auto module = input.ConsumeIntegral<uint8_t>();
    const auto code = input.ConsumeIntegral<uint8_t>();
    const std::vector<uint8_t> data =
        input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 60));
    const auto capacity = input.ConsumeIntegralInRange<uint8_t>(0, kMaxReplyData);
    std::array<uint8_t, kMaxReplyData + 8> buffer;
    buffer.fill(kGuard);
    ReplyBuffer reply{buffer.data(), capacity};
    const ExchangeOutcome outcome =
        exchange(handle, {type, module, code, {data.data(), data.size()}}, &reply);
    const tsdfuzz::CallCounts calls = tsdfuzz::callCounts();
    if (data.size() > kMaxRequestData) {
        FUZZ_CHECK(outcome == ExchangeOutcome::Failed && calls.sets == 0);
    }
    // Five sends, 80 polls after each, and a bounded number of repeats of
    // interrupted calls.
    FUZZ_CHECK(calls.sets <= 5 + 256 && calls.gets <= 5 * 80 + 256);
    FUZZ_CHECK(reply.length <= kMaxReplyData);
    if (outcome != ExchangeOutcome::DataReceived) FUZZ_CHECK(reply.length == 0);
    // Only a reply that fits is copied, and never past its length.
    const std::size_t written = reply.length <= capacity ? reply.length : 0;
    for (std::size_t i = written; i < buffer.size(); ++i) FUZZ_CHECK(buffer[i] == kGuard);
}

void modeCommands(TouchScreenHandle handle, FuzzedDataProvider& input) {
    uint8_t value = 0xEE;
    switch (input.ConsumeIntegralInRange<int>(0, 6)) {
        case 0: {
            std::array<uint8_t, kMaxReplyData> list{};
            const auto capacity = input.ConsumeIntegralInRange<uint8_t>(0, kMaxReplyData);
            uint8_t count = capacity;
            if (getModuleList(handle, 0x80, list.data(), &count)) FUZZ_CHECK(count <= capacity);
            FUZZ_CHECK(count <= kMaxReplyData);
            break;
        }
        case 1:
            if (TsdGetTouchScreenWorkingMode(handle, &value) == TSD_OK) FUZZ_CHECK(value <= 1);
            break;
        case 2:
            if (TsdGetTouchScreenDataMode(handle, &value) == TSD_OK) FUZZ_CHECK(value <= 4);
            break;
        case 3:
            if (TsdGetTouchScreenHidMode(handle, &value) == TSD_OK) FUZZ_CHECK(value <= 2);
            break;
        case 4:
            (void)TsdSetTouchScreenWorkingMode(handle,
                                               input.ConsumeIntegralInRange<uint32_t>(0, 2));
            break;
        case 5:
            (void)TsdSetTouchScreenDataMode(handle, input.ConsumeIntegralInRange<uint32_t>(0, 5));
            break;
        default:
            (void)TsdRestartTouchScreen(handle);
            break;
    }
}

void blockCommands(TouchScreenHandle handle, FuzzedDataProvider& input) {
    const auto first = input.ConsumeIntegral<uint16_t>();
    const auto blocks = input.ConsumeIntegralInRange<uint16_t>(0, 3);
    const auto length = input.ConsumeIntegralInRange<int32_t>(-1, blocks * kBlockSize);
    std::vector<uint8_t> record(static_cast<std::size_t>(blocks) * kBlockSize + 1, kGuard);
    if (input.ConsumeBool()) {
        (void)writeBlocks(handle, 0x80, first, blocks, record.data(), length);
        return;
    }
    const bool read = readBlocks(handle, 0x80, first, blocks, record.data(), length);
    if (read) FUZZ_CHECK(length >= 0 && length < blocks * kBlockSize);
    const std::size_t written = read ? static_cast<std::size_t>(length) : 0;
    for (std::size_t i = written; i < record.size(); ++i) FUZZ_CHECK(record[i] == kGuard);
}

void calibrationCommands(TouchScreenHandle handle, FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange<int>(0, 4)) {
        case 0: {
            std::vector<CalibrationPoint> points(input.ConsumeIntegralInRange<std::size_t>(0, 12));
            for (CalibrationPoint& p : points) {
                p = {input.ConsumeFloatingPoint<float>(), input.ConsumeFloatingPoint<float>(),
                     input.ConsumeFloatingPoint<float>(), input.ConsumeFloatingPoint<float>()};
            }
            const TsdResult result = TsdCalibrationFullScreenPreview(
                handle, 0, 4095, 0, 4095, points.data(), static_cast<uint32_t>(points.size()));
            if (result == TSD_OK) FUZZ_CHECK(points.size() >= 3);
            break;
        }
        case 1:
            (void)TsdCalibrationApplyPreview(handle);
            break;
        case 2:
            (void)TsdCalibrationCancelPreview(handle);
            break;
        case 3:
            (void)TsdCalibrationReset(handle);
            break;
        default: {
            ControllerParameters parameters;
            (void)readControllerParameters(handle, parameters);
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    InputScreen screen(input);
    DeviceHandleRecord record;
    const TouchScreenHandle handle = handleOf(&record);
    tsdfuzz::useScreen(&screen);
    for (int operation = 0; operation < 16 && input.remaining_bytes() > 0; ++operation) {
        tsdfuzz::beginOperation();
        switch (input.ConsumeIntegralInRange<int>(0, 3)) {
            case 0:
                exchangeDirectly(handle, input);
                break;
            case 1:
                modeCommands(handle, input);
                break;
            case 2:
                blockCommands(handle, input);
                break;
            default:
                calibrationCommands(handle, input);
                break;
        }
    }
    tsdfuzz::useScreen(nullptr);
    return 0;
}
