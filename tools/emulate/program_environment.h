#pragma once

#include <string>
#include <vector>

// The environment the program tsd-emulate runs starts with.
namespace tsdemu {

// tsd-emulate's environment with `preloads` (a LD_PRELOAD list of libraries
// built for the machine of the file `preloadFile`) handed to `program` (an
// argv[0] as execvp takes it). A program of that machine, or a script run by
// one, gets them in LD_PRELOAD. A program of another machine is taken for
// qemu-user, or for a host program that starts the board's programs through
// it: its own loader could not use them and would load umockdev's preload of
// the host by the bare name, so they go in QEMU_SET_ENV, which only
// qemu-user reads and passes on to the program it runs, and LD_PRELOAD is
// left out.
std::vector<std::string> programEnvironment(const char* program, const std::string& preloads,
                                            const std::string& preloadFile);

}  // namespace tsdemu
