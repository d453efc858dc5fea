#pragma once

// Why a screen's node cannot be opened, told once for every tool: the exact
// command that gives this user the screens, and whether the udev rule that
// lets the group open them is installed at all.
#include <string>

namespace tsdtool {

// The advice for a node this user may not open, several lines.
std::string accessAdvice(const std::string& devnode);

// Ends with status 4 and the advice if this user may not open the node.
void requireAccess(const std::string& devnode);

}  // namespace tsdtool
