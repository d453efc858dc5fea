#pragma once

#include <cstddef>

#include "protocol/command_frame.h"
#include "protocol/feature_report.h"

namespace tsdfuzz {

// The other end of the command exchange in a fuzz build: what the
// feature-report calls reach instead of a hidraw node.
class Screen {
public:
    virtual ~Screen() = default;
    virtual touchsdk::FeatureIo set(const touchsdk::FeatureReport& report) = 0;
    virtual touchsdk::FeatureIo get(touchsdk::FeatureReport& report) = 0;
};

// Installs the screen for the calls that follow; with none, every call
// finds the screen gone. Also starts a new operation (see below).
void useScreen(Screen* screen);

// Every request report is checked on its way out: one request frame from
// byte 0 with a correct checksum, zeros after it. And once a call has found
// the screen gone, no further call may come within the same operation.
void beginOperation();

struct CallCounts {
    std::size_t sets = 0;
    std::size_t gets = 0;
    std::size_t pauses = 0;
};
// Calls since the last beginOperation().
CallCounts callCounts();

}  // namespace tsdfuzz
