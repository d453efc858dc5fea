#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <vector>

#include "block_storage.h"
#include "calibration_sensor.h"
#include "command_handlers.h"
#include "command_wire.h"
#include "screen_identity.h"

namespace tsdemu {

// Ways the screen can misbehave on the command channel, each for a number
// of occasions (see ScreenModel::injectFault).
enum class CommandFault : uint8_t {
    Silent,            // receive the request and never answer it
    Busy,              // answer Busy instead of carrying out the request
    Refused,           // answer Refused instead of carrying out the request
    EchoThenAck,       // answer with an echo of the request, then Ack, in one report
    AckInsteadOfData,  // carry out a query but answer Ack
    BadChecksum,       // a Data answer whose checksum is wrong
};
constexpr std::size_t kCommandFaultCount = 6;

constexpr uint32_t kAlways = std::numeric_limits<uint32_t>::max();

// The emulated touch screen itself, free of any umockdev or GLib type: what
// the host can ask of it through the hidraw node. Every public member is
// safe to call from any thread (umockdev's worker thread serves the
// library's calls while a test or tool thread turns the knobs).
//
// Command channel: a request arrives with HIDIOCSFEATURE; its answer is
// returned by a later HIDIOCGFEATURE. Delays are counted in polls, never
// slept, so the serving thread is never held up.
class ScreenModel {
public:
    explicit ScreenModel(ScreenIdentity identity);

    const ScreenIdentity& identity() const { return identity_; }
    std::vector<uint8_t> reportDescriptor() const {
        if (!identity_.recordedDescriptor.empty()) return identity_.recordedDescriptor;
        return tsdemu::reportDescriptor(identity_.descriptor);
    }

    // Feature reports as HIDIOCSFEATURE / HIDIOCGFEATURE see them: the byte
    // count on success, or a negative errno.
    long setFeature(const uint8_t* report, std::size_t length);
    long getFeature(uint8_t* report, std::size_t length);

    // ---- What the screen holds --------------------------------------------
    // Listed modules answer working-mode and block commands like the
    // controller; a module not listed (nor the controller) refuses all.
    void setModuleList(const std::vector<uint8_t>& modules);
    std::optional<uint8_t> workingMode(uint8_t module) const;
    void setWorkingMode(uint8_t module, uint8_t value);
    uint8_t dataModeByte() const;
    void setDataModeByte(uint8_t value);  // any byte, also invalid ones
    uint8_t hidMode() const;
    void setHidMode(uint8_t value);
    uint8_t previewSwitch() const;
    uint32_t restarts() const;
    Block block(uint8_t module, uint16_t number) const;
    void setBlock(uint8_t module, uint16_t number, const Block& bytes);
    // Seeds or inspects a stored record image over consecutive blocks.
    std::vector<uint8_t> blockBytes(uint8_t module, uint16_t first, uint16_t count) const;
    void setBlockBytes(uint8_t module, uint16_t first, const std::vector<uint8_t>& bytes);

    // ---- Touches -----------------------------------------------------------------
    // The coordinate range the screen states in its controller parameters
    // (seeded with kDefaultCoordinateRange) and within which it measures.
    void setCoordinateRange(const touchsdk::CalibrationRange& range);
    void setSensorWarp(const SensorWarp& warp);
    // The reports of a contact at a true position: 0x36 through the
    // calibration in force, 0x34 as measured. Each call advances the scan time.
    SensorReports touchReportAt(double trueX, double trueY, const Contact& contact = {});

    // ---- What the host sent ---------------------------------------------------
    // Every well-formed request received, decoded, oldest first.
    std::vector<CommandFrame> requests() const;
    void clearRequests();
    std::size_t setFeatureCalls() const;
    std::size_t getFeatureCalls() const;

    // ---- Fault knobs --------------------------------------------------------------
    // The fault strikes on `times` occasions (requests, or for the two
    // Data-answer faults, Data answers) after letting `skip` pass
    // untouched; kAlways keeps it on. Skips count only the occasions on
    // which no earlier fault in CommandFault order struck.
    void injectFault(CommandFault fault, uint32_t times = kAlways, uint32_t skip = 0);
    // The next `times` Data answers carry `length` bytes (cut or padded).
    void setDataReplyLength(uint8_t length, uint32_t times = kAlways);
    // The next `times` ioctls (set or get) fail with -errnoValue.
    void failIoctls(int errnoValue, uint32_t times);
    // Each answer appears only on the poll after `polls` empty ones.
    void setAnswerDelay(uint32_t polls);
    // After `ioctls` more feature-report calls (sets and gets alike), every
    // ioctl fails with -ENODEV for good: the screen went away at that step
    // of an exchange. unpluggedAt() tells when the first call failed so.
    void unplugAfterIoctls(uint32_t ioctls);
    std::optional<std::chrono::steady_clock::time_point> unpluggedAt() const;
    void refuseSetFormOfTransfer(bool refuse);
    void clearFaults();

private:
    std::optional<AnswerReport> answerTo(const CommandFrame& request);
    std::optional<AnswerReport> carryOut(const CommandFrame& request);
    bool takeFault(CommandFault fault);
    std::optional<long> ioctlFailure();
    void countTowardsUnplug();
    ModuleState& moduleLocked(uint8_t module);
    Block blockLocked(uint8_t module, uint16_t number) const;

    const ScreenIdentity identity_;
    mutable std::mutex mutex_;
    // Everything below is guarded by mutex_.
    ScreenState state_;
    std::vector<CommandFrame> requests_;
    std::optional<AnswerReport> pendingAnswer_;
    uint32_t emptyPollsBeforeAnswer_ = 0;
    uint32_t answerDelay_ = 0;
    std::size_t setFeatureCalls_ = 0;
    std::size_t getFeatureCalls_ = 0;
    std::array<uint32_t, kCommandFaultCount> faultsLeft_{};
    std::array<uint32_t, kCommandFaultCount> faultSkipsLeft_{};
    std::optional<uint8_t> dataReplyLength_;
    uint32_t dataReplyLengthLeft_ = 0;
    int ioctlErrno_ = 0;
    uint32_t ioctlFailuresLeft_ = 0;
    std::optional<uint32_t> ioctlsBeforeUnplug_;
    bool unplugged_ = false;
    std::optional<std::chrono::steady_clock::time_point> unpluggedAt_;
    CalibratedSensor sensor_;
    uint16_t scanTime_ = 0;
};

}  // namespace tsdemu
