#pragma once

#include <string>
#include <vector>

#include "exit_status.h"
#include "json.h"
#include "options.h"
#include "screens.h"

namespace tsdctl {

using tsdtool::Exit;
using tsdtool::Failure;
using tsdtool::JsonObject;
using tsdtool::OpenScreen;
using tsdtool::Options;
using tsdtool::Screen;
using tsdtool::usageError;

// The version of the JSON output's schema, carried by every object tsdctl
// prints (see tsdctl(1)). Raised when a field changes meaning or goes away.
constexpr int kJsonSchemaVersion = 1;

// A versioned top-level object.
inline JsonObject versioned() { return JsonObject().add("version", kJsonSchemaVersion); }

// The screen's paths, IDs and serial (null when it has none).
JsonObject& addIdentity(JsonObject& object, const Screen& screen);

// The value of --count N (N > 0), or 0 when not given: how many records a
// stream prints before it ends.
unsigned long countOption(const Options& args);

// The screen named by a leading SCREEN word (taken off `words`) or by
// --serial.
tsdtool::ScreenSelection takeSelection(const Options& args, std::vector<std::string>& words);

// Ends with a usage error when words are left over.
void noMoreWords(const std::vector<std::string>& words);

// The wall-clock time of arrival, to the millisecond, with the UTC offset
// (ISO 8601): field logs are read against other machines' logs.
std::string arrivalTime();

// One line to stdout, flushed, so that a pipe sees each record as it comes.
void printLine(const std::string& line);

}  // namespace tsdctl
