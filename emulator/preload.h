#pragma once

#include <string>

namespace tsdemu {

// LD_PRELOAD for a program that is to see emulated devices: the umockdev
// preload, behind this program's sanitizer runtime if it has one; `before`,
// when given, goes in front of the umockdev preload so that its calls are
// the ones found first.
std::string umockdevPreloadList(const std::string& before = {});

// Re-executes the program under libumockdev-preload unless it is already
// loaded (a sanitizer runtime goes first in LD_PRELOAD, as it must). Call
// first thing in main(); returns only when the preload is active.
void ensureUmockdevPreload(char** argv);

}  // namespace tsdemu
