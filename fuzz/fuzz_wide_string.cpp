// The wide/narrow conversions of paths and serial numbers in a UTF-8
// locale: whatever converts one way converts back to itself.
#include <algorithm>
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "device/wide_string.h"
#include "fuzz_check.h"

using namespace touchsdk;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("LC_ALL", "C.UTF-8", 1);
    return 0;
}

namespace {

void narrowRoundTrip(const uint8_t* data, std::size_t size) {
    const std::string narrow(reinterpret_cast<const char*>(data),
                             strnlen(reinterpret_cast<const char*>(data), size));
    const WideString wide = WideFromNarrow(narrow.c_str());
    if (!wide) return;
    const NarrowString back = NarrowFromWide(wide.get());
    FUZZ_CHECK(back && narrow == back.get());
}

void wideRoundTrip(const uint8_t* data, std::size_t size) {
    std::wstring wide;
    for (std::size_t i = 0; i + sizeof(wchar_t) <= size; i += sizeof(wchar_t)) {
        wchar_t c;
        std::memcpy(&c, data + i, sizeof c);
        if (c == 0) break;
        wide.push_back(c);
    }
    const NarrowString narrow = NarrowFromWide(wide.c_str());
    if (!narrow) return;
    const WideString back = WideFromNarrow(narrow.get());
    FUZZ_CHECK(back && wide == back.get());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    narrowRoundTrip(data, size);
    wideRoundTrip(data, size);
    return 0;
}
