#include "command_handlers.h"

#include <algorithm>

namespace tsdemu {

namespace {

using frame_type::kControl;
using frame_type::kQuery;
using frame_type::kSet;

using Handler = CommandReply (*)(ScreenState&, ModuleState&, const CommandFrame&);

// One row per command and frame type. `dataLength` -1 accepts any length
// (the handler checks it); `controllerOnly` refuses other modules.
struct CommandEntry {
    uint8_t type;
    uint8_t command;
    int dataLength;
    bool controllerOnly;
    Handler handler;
};

CommandReply ack() { return {ReplyKind::Ack, {}}; }
CommandReply refused() { return {ReplyKind::Refused, {}}; }
CommandReply data(std::vector<uint8_t> bytes) { return {ReplyKind::Data, std::move(bytes)}; }

bool isOneOf(uint8_t value, std::initializer_list<uint8_t> valid) {
    return std::find(valid.begin(), valid.end(), value) != valid.end();
}

CommandReply queryWorkingMode(ScreenState&, ModuleState& module, const CommandFrame&) {
    return data({module.workingMode});
}

CommandReply setWorkingMode(ScreenState&, ModuleState& module, const CommandFrame& request) {
    if (!isOneOf(request.data[0], {0, 1})) return refused();
    module.workingMode = request.data[0];
    return ack();
}

CommandReply queryModuleList(ScreenState& state, ModuleState&, const CommandFrame&) {
    return data(state.moduleList);
}

CommandReply restart(ScreenState& state, ModuleState&, const CommandFrame&) {
    ++state.restarts;
    return ack();
}

CommandReply queryDataMode(ScreenState& state, ModuleState&, const CommandFrame&) {
    return data({state.dataMode});
}

CommandReply setDataMode(ScreenState& state, ModuleState&, const CommandFrame& request) {
    if (!isOneOf(request.data[0], {0xF0, 0xF1, 0xF2, 0xFE, 0xFF})) return refused();
    state.dataMode = request.data[0];
    return ack();
}

CommandReply queryHidMode(ScreenState& state, ModuleState&, const CommandFrame&) {
    return data({state.hidMode});
}

CommandReply setHidMode(ScreenState& state, ModuleState&, const CommandFrame& request) {
    if (!isOneOf(request.data[0], {0, 1, 2})) return refused();
    state.hidMode = request.data[0];
    return ack();
}

CommandReply setPreviewSwitch(ScreenState& state, ModuleState&, const CommandFrame& request) {
    state.previewSwitch = request.data[0];
    return ack();
}

// Set form (first, second: 4 bytes) or Control form (second: 2 bytes).
CommandReply transferBoundary(ScreenState& state, ModuleState& module, const CommandFrame& request,
                              bool open) {
    if (request.type == kSet && state.refuseSetFormOfTransfer) return refused();
    module.transferOpen = open;
    return ack();
}

CommandReply beginTransfer(ScreenState& state, ModuleState& module, const CommandFrame& request) {
    return transferBoundary(state, module, request, true);
}

CommandReply endTransfer(ScreenState& state, ModuleState& module, const CommandFrame& request) {
    return transferBoundary(state, module, request, false);
}

// Address: sub-address (16-bit LE), then block number (16-bit LE).
uint16_t subAddressOf(const CommandFrame& request) {
    return static_cast<uint16_t>(request.data[0] | (request.data[1] << 8));
}

uint16_t blockNumberOf(const CommandFrame& request) {
    return static_cast<uint16_t>(request.data[2] | (request.data[3] << 8));
}

CommandReply readBlock(ScreenState&, ModuleState& module, const CommandFrame& request) {
    if (!module.transferOpen || subAddressOf(request) != 0) return refused();
    const Block block = module.blocks.read(blockNumberOf(request));
    return data(std::vector<uint8_t>(block.begin(), block.end()));
}

CommandReply writeBlock(ScreenState&, ModuleState& module, const CommandFrame& request) {
    if (!module.transferOpen || request.data.size() < 5) return refused();
    const bool written = module.blocks.write(blockNumberOf(request), subAddressOf(request),
                                             request.data.data() + 4, request.data.size() - 4);
    return written ? ack() : refused();
}

constexpr int kAnyLength = -1;

// Add a command here: one row per frame type it answers.
constexpr CommandEntry kCommandTable[] = {
    {kQuery, command::kWorkingMode, 0, false, queryWorkingMode},
    {kSet, command::kWorkingMode, 1, false, setWorkingMode},
    {kQuery, command::kModuleList, 0, true, queryModuleList},
    {kControl, command::kRestart, 0, true, restart},
    {kQuery, command::kDataMode, 0, true, queryDataMode},
    {kSet, command::kDataMode, 1, true, setDataMode},
    {kQuery, command::kHidMode, 0, true, queryHidMode},
    {kSet, command::kHidMode, 1, true, setHidMode},
    {kControl, command::kPreviewSwitch, 1, true, setPreviewSwitch},
    {kSet, command::kBeginTransfer, 4, false, beginTransfer},
    {kControl, command::kBeginTransfer, 2, false, beginTransfer},
    {kSet, command::kEndTransfer, 4, false, endTransfer},
    {kControl, command::kEndTransfer, 2, false, endTransfer},
    {kQuery, command::kBlock, 4, false, readBlock},
    {kSet, command::kBlock, kAnyLength, false, writeBlock},
};

const CommandEntry* findEntry(const CommandFrame& request) {
    for (const CommandEntry& entry : kCommandTable) {
        if (entry.type == request.type && entry.command == request.command) return &entry;
    }
    return nullptr;
}

}  // namespace

ScreenState::ScreenState() { modules[kControllerModule]; }

CommandReply handleCommand(ScreenState& state, const CommandFrame& request) {
    const CommandEntry* entry = findEntry(request);
    if (entry == nullptr) return refused();
    if (entry->controllerOnly && request.module != kControllerModule) return refused();
    if (entry->dataLength != kAnyLength &&
        request.data.size() != static_cast<std::size_t>(entry->dataLength)) {
        return refused();
    }
    const auto module = state.modules.find(request.module);
    if (module == state.modules.end()) return refused();
    return entry->handler(state, module->second, request);
}

}  // namespace tsdemu
