#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The line commands that drive emulated screens while a program runs
// (tsd-emulate's --control FIFO and --taps file). Pure parsing.
namespace tsdemu {

enum class ControlVerb : uint8_t { Touch, Lift, Key, Unplug, Plug, Wait, Report };

struct ControlCommand {
    ControlVerb verb = ControlVerb::Wait;
    unsigned screen = 0;  // in plug order; screen 0 when the line names none
    unsigned value = 0;   // contact id, key number, or milliseconds for Wait
    uint8_t state = 0;    // key: 0 released, 1 pressed
    double x = 0.0;       // touch: true position in the screen's own units
    double y = 0.0;
    std::vector<uint8_t> bytes;  // report: one transfer, as the screen sends it
};

// One parsed line: a command, nothing (blank or "# comment"), or an error
// that names what is wrong.
struct ControlLine {
    std::optional<ControlCommand> command;
    std::string error;
};

ControlLine parseControlLine(const std::string& line);

// A text as an error message quotes it: in quotes, cut to a short prefix
// (a line may be megabytes long), with "..." when cut.
std::string excerpt(const std::string& text);

}  // namespace tsdemu
