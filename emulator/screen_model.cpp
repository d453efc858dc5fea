#include "screen_model.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace tsdemu {

ScreenModel::ScreenModel(ScreenIdentity identity) : identity_(std::move(identity)) {
    setCoordinateRange(kDefaultCoordinateRange);
}

long ScreenModel::setFeature(const uint8_t* report, std::size_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++setFeatureCalls_;
    countTowardsUnplug();
    if (const std::optional<long> failure = ioctlFailure()) return *failure;
    if (report == nullptr || length == 0) return -EINVAL;
    // The device stalls a report it does not declare.
    if (report[0] != kCommandReportId) return -EPIPE;
    const std::optional<CommandFrame> request = decodeRequest(report, length);
    // A report that holds no request is taken and never answered.
    pendingAnswer_.reset();
    if (!request) return static_cast<long>(length);
    requests_.push_back(*request);
    pendingAnswer_ = answerTo(*request);
    emptyPollsBeforeAnswer_ = answerDelay_;
    return static_cast<long>(length);
}

long ScreenModel::getFeature(uint8_t* report, std::size_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++getFeatureCalls_;
    countTowardsUnplug();
    if (const std::optional<long> failure = ioctlFailure()) return *failure;
    if (report == nullptr || length == 0) return -EINVAL;
    if (report[0] != kCommandReportId) return -EPIPE;
    AnswerReport answer = reportOf({});
    if (pendingAnswer_ && emptyPollsBeforeAnswer_ == 0) {
        answer = *pendingAnswer_;
        pendingAnswer_.reset();
    } else if (pendingAnswer_) {
        --emptyPollsBeforeAnswer_;
    }
    const std::size_t count = std::min(length, answer.size());
    std::copy_n(answer.begin(), count, report);
    return static_cast<long>(count);
}

std::optional<AnswerReport> ScreenModel::answerTo(const CommandFrame& request) {
    if (takeFault(CommandFault::Silent)) return std::nullopt;
    if (takeFault(CommandFault::Busy)) return reportOf(bareFrame(frame_type::kBusy));
    if (takeFault(CommandFault::Refused)) return reportOf(bareFrame(frame_type::kRefused));
    if (takeFault(CommandFault::EchoThenAck)) {
        std::vector<uint8_t> frames = longFrame(request);
        const std::vector<uint8_t> ack = bareFrame(frame_type::kAck);
        frames.insert(frames.end(), ack.begin(), ack.end());
        return reportOf(frames);
    }
    return carryOut(request);
}

std::optional<AnswerReport> ScreenModel::carryOut(const CommandFrame& request) {
    CommandReply reply = handleCommand(state_, request);
    if (reply.kind == ReplyKind::Refused) return reportOf(bareFrame(frame_type::kRefused));
    if (reply.kind == ReplyKind::Ack || takeFault(CommandFault::AckInsteadOfData)) {
        return reportOf(bareFrame(frame_type::kAck));
    }
    if (dataReplyLengthLeft_ > 0) {
        if (dataReplyLengthLeft_ != kAlways) --dataReplyLengthLeft_;
        reply.data.resize(*dataReplyLength_, 0xA5);
    }
    return reportOf(dataFrame(reply.data, takeFault(CommandFault::BadChecksum)));
}

bool ScreenModel::takeFault(CommandFault fault) {
    const auto index = static_cast<std::size_t>(fault);
    uint32_t& left = faultsLeft_[index];
    if (left == 0) return false;
    if (faultSkipsLeft_[index] > 0) {
        --faultSkipsLeft_[index];
        return false;
    }
    if (left != kAlways) --left;
    return true;
}

std::optional<long> ScreenModel::ioctlFailure() {
    if (unplugged_) return -ENODEV;
    if (ioctlFailuresLeft_ == 0) return std::nullopt;
    if (ioctlFailuresLeft_ != kAlways) --ioctlFailuresLeft_;
    return -static_cast<long>(ioctlErrno_);
}

ModuleState& ScreenModel::moduleLocked(uint8_t module) { return state_.modules[module]; }

// ---- What the screen holds ---------------------------------------------------

void ScreenModel::setModuleList(const std::vector<uint8_t>& modules) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_.moduleList = modules;
    for (uint8_t module : modules) moduleLocked(module);
}

std::optional<uint8_t> ScreenModel::workingMode(uint8_t module) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = state_.modules.find(module);
    if (found == state_.modules.end()) return std::nullopt;
    return found->second.workingMode;
}

void ScreenModel::setWorkingMode(uint8_t module, uint8_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    moduleLocked(module).workingMode = value;
}

uint8_t ScreenModel::dataModeByte() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_.dataMode;
}

void ScreenModel::setDataModeByte(uint8_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_.dataMode = value;
}

uint8_t ScreenModel::hidMode() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_.hidMode;
}

void ScreenModel::setHidMode(uint8_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_.hidMode = value;
}

uint8_t ScreenModel::previewSwitch() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_.previewSwitch;
}

uint32_t ScreenModel::restarts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_.restarts;
}

Block ScreenModel::blockLocked(uint8_t module, uint16_t number) const {
    const auto found = state_.modules.find(module);
    return found == state_.modules.end() ? Block{} : found->second.blocks.read(number);
}

Block ScreenModel::block(uint8_t module, uint16_t number) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return blockLocked(module, number);
}

void ScreenModel::setBlock(uint8_t module, uint16_t number, const Block& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    moduleLocked(module).blocks.write(number, 0, bytes.data(), bytes.size());
}

std::vector<uint8_t> ScreenModel::blockBytes(uint8_t module, uint16_t first, uint16_t count) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint8_t> bytes;
    for (uint16_t k = 0; k < count; ++k) {
        const Block stored = blockLocked(module, static_cast<uint16_t>(first + k));
        bytes.insert(bytes.end(), stored.begin(), stored.end());
    }
    return bytes;
}

void ScreenModel::setBlockBytes(uint8_t module, uint16_t first, const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    BlockStorage& blocks = moduleLocked(module).blocks;
    for (std::size_t offset = 0; offset < bytes.size(); offset += kBlockBytes) {
        const std::size_t length = std::min(kBlockBytes, bytes.size() - offset);
        blocks.write(static_cast<uint16_t>(first + offset / kBlockBytes), 0, bytes.data() + offset,
                     length);
    }
}

// ---- What the host sent ------------------------------------------------------

std::vector<CommandFrame> ScreenModel::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void ScreenModel::clearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

std::size_t ScreenModel::setFeatureCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return setFeatureCalls_;
}

std::size_t ScreenModel::getFeatureCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return getFeatureCalls_;
}

// ---- Fault knobs ---------------------------------------------------------------

void ScreenModel::injectFault(CommandFault fault, uint32_t times, uint32_t skip) {
    std::lock_guard<std::mutex> lock(mutex_);
    faultsLeft_[static_cast<std::size_t>(fault)] = times;
    faultSkipsLeft_[static_cast<std::size_t>(fault)] = skip;
}

void ScreenModel::setDataReplyLength(uint8_t length, uint32_t times) {
    std::lock_guard<std::mutex> lock(mutex_);
    dataReplyLength_ = length;
    dataReplyLengthLeft_ = times;
}

void ScreenModel::failIoctls(int errnoValue, uint32_t times) {
    std::lock_guard<std::mutex> lock(mutex_);
    ioctlErrno_ = errnoValue;
    ioctlFailuresLeft_ = times;
}

void ScreenModel::setAnswerDelay(uint32_t polls) {
    std::lock_guard<std::mutex> lock(mutex_);
    answerDelay_ = polls;
}

void ScreenModel::unplugAfterIoctls(uint32_t ioctls) {
    std::lock_guard<std::mutex> lock(mutex_);
    ioctlsBeforeUnplug_ = ioctls;
}

std::optional<std::chrono::steady_clock::time_point> ScreenModel::unpluggedAt() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return unpluggedAt_;
}

void ScreenModel::countTowardsUnplug() {
    if (!ioctlsBeforeUnplug_ || unplugged_) return;
    if (*ioctlsBeforeUnplug_ > 0) {
        --*ioctlsBeforeUnplug_;
        return;
    }
    unplugged_ = true;
    unpluggedAt_ = std::chrono::steady_clock::now();
}

void ScreenModel::refuseSetFormOfTransfer(bool refuse) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_.refuseSetFormOfTransfer = refuse;
}

void ScreenModel::clearFaults() {
    std::lock_guard<std::mutex> lock(mutex_);
    faultsLeft_.fill(0);
    faultSkipsLeft_.fill(0);
    dataReplyLengthLeft_ = 0;
    ioctlFailuresLeft_ = 0;
    answerDelay_ = 0;
    ioctlsBeforeUnplug_.reset();
    unplugged_ = false;
    unpluggedAt_.reset();
    state_.refuseSetFormOfTransfer = false;
}

}  // namespace tsdemu
