#pragma once

#include <cstdint>
#include <vector>

#include "screen_model.h"
#include "usbip_wire.h"

namespace tsdemu::usb {

// How the screen answers one control transfer on endpoint 0.
struct ControlAnswer {
    enum class Outcome : uint8_t {
        Done,    // completed; IN data in `data`
        Stall,   // the request is not supported, or the screen failed it
        Vanish,  // the screen is gone from this moment: answer nothing more
    };
    Outcome outcome = Outcome::Done;
    std::vector<uint8_t> data;
};

// Enumeration, the HID class requests, and the feature report routed to the
// model. `out` is the data stage of a host-to-device request.
ControlAnswer answerControl(ScreenModel& model, const usbip::SetupPacket& setup,
                            const std::vector<uint8_t>& out);

}  // namespace tsdemu::usb
