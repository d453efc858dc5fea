#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "args.h"

namespace tsdctl {

// Exit statuses, so that scripts can tell these cases apart.
enum class Exit : int {
    Ok = 0,
    Failed = 1,    // the screen refused or did not answer
    Usage = 2,     // bad command line or input file; nothing was sent
    NoScreen = 3,  // no such screen
    Denied = 4,    // the node exists but this user may not open it
};

// Ends the subcommand with a one-line message on stderr and its status.
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

// Parses a subcommand's words or ends with a usage error.
Args parseArgs(const std::vector<std::string>& words, const std::vector<OptionSpec>& specs);

// The value of --count N (N > 0), or 0 when not given: how many records a
// stream prints before it ends.
unsigned long countOption(const Args& args);

// One line to stdout, flushed, so that a pipe sees each record as it comes.
void printLine(const std::string& line);

}  // namespace tsdctl
