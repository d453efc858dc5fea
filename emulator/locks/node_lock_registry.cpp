#include "node_lock_registry.h"

namespace tsdemu {

std::string nodeLockDir(const std::string& testbedRoot) { return testbedRoot + "/node-locks"; }

std::string ptyLockEntry(const std::string& lockDir, const std::string& ptySlave) {
    const std::string::size_type slash = ptySlave.rfind('/');
    return lockDir + "/pty-" + ptySlave.substr(slash == std::string::npos ? 0 : slash + 1);
}

}  // namespace tsdemu
