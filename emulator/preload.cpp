#include "preload.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
extern "C" void __asan_init();
#define TSDEMU_SANITIZER_RUNTIME (reinterpret_cast<void*>(&__asan_init))
#elif defined(__SANITIZE_THREAD__)
extern "C" void __tsan_init();
#define TSDEMU_SANITIZER_RUNTIME (reinterpret_cast<void*>(&__tsan_init))
#endif

namespace tsdemu {

namespace {
constexpr const char* kPreload = "libumockdev-preload.so.0";
}

namespace {

// Named in LD_PRELOAD is not enough: a missing library is only warned about
// by the loader, and the program would then test against the real system.
void requirePreloadLoaded() {
    if (::dlopen(kPreload, RTLD_LAZY | RTLD_NOLOAD) != nullptr) return;
    std::fprintf(stderr, "%s is not loaded: install the umockdev package\n", kPreload);
    std::exit(2);
}

}  // namespace

std::string umockdevPreloadList(const std::string& before) {
    const char* current = std::getenv("LD_PRELOAD");
    std::string preload = before.empty() ? kPreload : before + ":" + kPreload;
    // tsd-emulate runs under the preload itself, so the list it hands on
    // already names it: once is enough.
    std::string entry;
    for (const char* c = current != nullptr ? current : "";; ++c) {
        if (*c != '\0' && *c != ':' && *c != ' ') {
            entry += *c;
            continue;
        }
        if (!entry.empty() && entry != kPreload) preload += ":" + entry;
        entry.clear();
        if (*c == '\0') break;
    }
#ifdef TSDEMU_SANITIZER_RUNTIME
    // The sanitizer runtime must come first: ASan refuses to start otherwise,
    // and behind the preload its read() and ioctl() checks are bypassed.
    Dl_info info;
    if (dladdr(TSDEMU_SANITIZER_RUNTIME, &info) != 0 && info.dli_fname != nullptr) {
        preload = std::string(info.dli_fname) + ":" + preload;
    }
#endif
    return preload;
}

void ensureUmockdevPreload(char** argv) {
    // Loaded already, through LD_PRELOAD or handed to the loader itself
    // (ld.so --preload: the board builds run their tests so under qemu-user,
    // where the program could not re-execute itself).
    if (::dlopen(kPreload, RTLD_LAZY | RTLD_NOLOAD) != nullptr) return;
    const char* current = std::getenv("LD_PRELOAD");
    if (current != nullptr && std::strstr(current, "libumockdev-preload") != nullptr) {
        requirePreloadLoaded();
        return;
    }
    ::setenv("LD_PRELOAD", umockdevPreloadList().c_str(), 1);
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        self[n] = '\0';
        ::execv(self, argv);
    }
    std::perror("re-exec under the umockdev preload");
    std::exit(2);
}

}  // namespace tsdemu
