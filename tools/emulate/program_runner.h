#pragma once

#include <sys/types.h>

// Starting the program tsd-emulate runs, and ending it.
namespace tsdemu {

// The program's status as tsd-emulate returns it: its exit code, 128 + the
// signal that ended it, or 126/127 when it could not be run or found.
int statusOf(int waitStatus);

// Remembers which descriptors tsd-emulate was given, so that the program
// inherits those and nothing of the emulator's own. Call first in main().
void noteInheritedDescriptors();

// Passes SIGINT, SIGTERM and SIGHUP on to the program; one that arrives
// before the program exists is passed on once it does.
void forwardSignals();

// Starts `program` (argv style), under umockdev's preload when `preload`
// (screens on USB/IP are the kernel's own); -1 when fork fails. Throws
// std::runtime_error when the preload library for node locks is missing.
pid_t startProgram(char** program, bool preload);

// Waits for the program to end; its wait status.
int waitForProgram(pid_t child);

}  // namespace tsdemu
