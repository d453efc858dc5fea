#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "control_command.h"
#include "presentation.h"
#include "sensor.h"

namespace tsdemu {

// How each screen of a set is made: identity, its own coordinate range and
// its sensor's warp. A re-plugged screen is made the same way again.
struct ScreenSetup {
    ScreenIdentity identity;
    std::optional<touchsdk::CalibrationRange> range;
    std::optional<SensorWarp> warp;
};

// The screens tsd-emulate hosts, numbered from 0 in plug order, driven by
// control commands from any thread. Touch positions are true positions:
// each goes through the screen's sensor and the calibration in force, and
// yields a touch and a raw-touch report as the screen makes them.
class ScreenSet {
public:
    explicit ScreenSet(Presentation& presentation) : presentation_(presentation) {}

    // Plugs a new screen; answers its number.
    unsigned add(const ScreenSetup& setup);
    PresentedScreen* screen(unsigned number);
    std::vector<PresentedScreen*> plugged();

    // Carries out one command; an empty answer on success, else what went
    // wrong. Wait sleeps without holding up other callers and ends early
    // once stop() is called.
    std::string run(const ControlCommand& command);
    void stop();
    bool stopped();

private:
    struct Slot {
        ScreenSetup setup;
        PresentedScreen* screen = nullptr;
        std::map<unsigned, SensorPosition> contacts;  // down contacts by id
    };

    PresentedScreen& plugSlot(Slot& slot, unsigned number);
    std::string carryOut(const ControlCommand& command);
    std::string touch(Slot& slot, const ControlCommand& command);
    std::string lift(Slot& slot, const ControlCommand& command);

    Presentation& presentation_;
    std::mutex mutex_;
    std::condition_variable stopped_;
    std::vector<Slot> slots_;  // guarded by mutex_
    bool stopping_ = false;    // guarded by mutex_
};

}  // namespace tsdemu
