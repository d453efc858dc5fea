#pragma once

namespace tsdemu {

// Re-executes the program under libumockdev-preload unless it is already
// loaded (a sanitizer runtime goes first in LD_PRELOAD, as it must). Call
// first thing in main(); returns only when the preload is active.
void ensureUmockdevPreload(char** argv);

}  // namespace tsdemu
