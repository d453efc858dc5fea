#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "block_storage.h"
#include "command_wire.h"

namespace tsdemu {

constexpr uint8_t kControllerModule = 0x80;

// Command codes the screen understands.
namespace command {
constexpr uint8_t kWorkingMode = 0xA2;
constexpr uint8_t kModuleList = 0xAE;
constexpr uint8_t kRestart = 0xAF;
constexpr uint8_t kBeginTransfer = 0xB8;
constexpr uint8_t kEndTransfer = 0xB9;
constexpr uint8_t kBlock = 0xBB;
constexpr uint8_t kDataMode = 0xE1;
constexpr uint8_t kHidMode = 0xE2;
constexpr uint8_t kPreviewSwitch = 0xE5;
}  // namespace command

struct ModuleState {
    uint8_t workingMode = 0;
    BlockStorage blocks;
    bool transferOpen = false;  // between a begin and an end (or the next begin)
};

// What the screen remembers. Guarded by the owning ScreenModel's mutex.
struct ScreenState {
    ScreenState();

    std::map<uint8_t, ModuleState> modules;  // the controller and every listed module
    std::vector<uint8_t> moduleList;         // answered to 0xAE, in this order
    uint8_t dataMode = 0xF0;
    uint8_t hidMode = 0;
    uint8_t previewSwitch = 0;
    uint32_t restarts = 0;
    // Screens of an older firmware know only the Control form of begin/end.
    bool refuseSetFormOfTransfer = false;
};

enum class ReplyKind : uint8_t { Ack, Data, Refused };

struct CommandReply {
    ReplyKind kind = ReplyKind::Refused;
    std::vector<uint8_t> data;  // for Data
};

// Carries out one request: finds its row in the command table; an unknown
// command, form, module or data length is refused.
CommandReply handleCommand(ScreenState& state, const CommandFrame& request);

}  // namespace tsdemu
