#pragma once

#include <string>

namespace tsdemu {

// The kernel keeps flock() and record locks per inode, so every open of a
// hidraw node shares them; here each open lands on a PTY of its own. The
// testbed therefore keeps one lock file per plugged node in its directory
// and names, for each PTY an open of the node may land on, the node's lock
// file; the lock interposer in each emulated process takes the locks asked
// of such a PTY on that file instead.
std::string nodeLockDir(const std::string& testbedRoot);
// The entry a PTY slave ("/dev/pts/N") is looked up by.
std::string ptyLockEntry(const std::string& lockDir, const std::string& ptySlave);

}  // namespace tsdemu
