#include "program_environment.h"

#include <elf.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace tsdemu {
namespace {

// What tells one loader's machine from another's in an ELF header: class,
// byte order and e_machine, which sits at the same offset in both classes.
constexpr std::size_t kMachineAt = offsetof(Elf32_Ehdr, e_machine);
static_assert(kMachineAt == offsetof(Elf64_Ehdr, e_machine), "e_machine moved");
constexpr std::size_t kElfHeadSize = kMachineAt + sizeof(Elf32_Half);

// The file execvp would run for `program`, or "".
std::string pathOf(const char* program) {
    if (std::strchr(program, '/') != nullptr) return program;
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr && *path != '\0' ? path : "/bin:/usr/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

// The ELF machine of `file`; for a script, of its interpreter. Empty when
// neither can be read.
std::string machineOf(const std::string& file, bool followScript = true) {
    std::ifstream in(file, std::ios::binary);
    std::string head(kElfHeadSize, '\0');
    if (!in.read(&head[0], static_cast<std::streamsize>(head.size()))) {
        if (!followScript || in.gcount() < 2) return {};
        head.resize(static_cast<std::size_t>(in.gcount()));
    }
    if (followScript && head.compare(0, 2, "#!") == 0) {
        in.clear();
        in.seekg(2);
        std::string interpreter;
        in >> interpreter;
        return interpreter.empty() ? std::string() : machineOf(interpreter, false);
    }
    if (head.size() < kElfHeadSize || head.compare(0, SELFMAG, ELFMAG) != 0) return {};
    return {head[EI_CLASS], head[EI_DATA], head[kMachineAt], head[kMachineAt + 1]};
}

}  // namespace

std::vector<std::string> programEnvironment(const char* program, const std::string& preloads,
                                            const std::string& preloadFile) {
    const std::string ours = machineOf(preloadFile, false);
    const std::string theirs = machineOf(pathOf(program));
    // Unknown on either side: the loader that runs it is taken for ours,
    // which it is wherever no emulator is involved.
    const bool foreign = !ours.empty() && !theirs.empty() && ours != theirs;
    std::vector<std::string> environment;
    std::string qemuSetEnv;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        if (variable.rfind("LD_PRELOAD=", 0) == 0) continue;
        if (foreign && variable.rfind("QEMU_SET_ENV=", 0) == 0) {
            qemuSetEnv = variable.substr(std::strlen("QEMU_SET_ENV=")) + ",";
            continue;
        }
        environment.push_back(variable);
    }
    if (foreign) {
        environment.push_back("QEMU_SET_ENV=" + qemuSetEnv + "LD_PRELOAD=" + preloads);
    } else {
        environment.push_back("LD_PRELOAD=" + preloads);
    }
    return environment;
}

}  // namespace tsdemu
