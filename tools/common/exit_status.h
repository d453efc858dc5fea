#pragma once

// One table of exit statuses for every tool, so that a script tells the
// cases apart the same way whichever tool it runs. Documented in each man
// page; changing a number breaks those scripts.
#include <stdexcept>
#include <string>

namespace tsdtool {

enum class Exit : int {
    Ok = 0,
    Failed = 1,    // the screen refused, did not answer, or a file could not be written
    Usage = 2,     // bad command line or input file; nothing was sent
    NoScreen = 3,  // no such screen
    Denied = 4,    // the node exists but this user may not open it
    // tsd-calibrate's own outcomes: the screen is back on its old calibration.
    Cancelled = 5,  // by the person, from the keyboard or the screen, or by a signal
    TimedOut = 6,   // nobody touched a target in time
    // tsd-emulate's, as env(1) and timeout(1) have them, so that they never
    // pass for the status of the program it ran.
    EmulatorFailed = 125,
    CannotRun = 126,
    NotFound = 127,
};

constexpr int code(Exit status) { return static_cast<int>(status); }

// Ends a tool's run with a one-line message on stderr and its status
// (runTool catches it).
class Failure : public std::runtime_error {
public:
    Failure(Exit status, const std::string& message)
        : std::runtime_error(message), status_(status) {}
    Exit status() const { return status_; }

private:
    Exit status_;
};

[[noreturn]] inline void usageError(const std::string& message) {
    throw Failure(Exit::Usage, message);
}

}  // namespace tsdtool
