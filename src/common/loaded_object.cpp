#include "common/loaded_object.h"

#include <link.h>

#include <cstdint>
#include <cstring>

namespace touchsdk {

namespace {

// The segment the unwinder reads: .eh_frame_hdr, or ARM's index table.
#ifdef DLFO_EH_SEGMENT_TYPE
constexpr ElfW(Word) kUnwindSegment = DLFO_EH_SEGMENT_TYPE;
#else
constexpr ElfW(Word) kUnwindSegment = PT_GNU_EH_FRAME;
#endif

struct Search {
    std::uintptr_t address;
    dl_find_object* result;
    bool found;
};

bool segmentContains(const dl_phdr_info& object, const ElfW(Phdr) & segment,
                     std::uintptr_t address) {
    const std::uintptr_t start = object.dlpi_addr + segment.p_vaddr;
    return segment.p_type == PT_LOAD && address >= start && address - start < segment.p_memsz;
}

// The loader hands out addresses as integers; the structure wants pointers.
// NOLINTBEGIN(performance-no-int-to-ptr)
void describe(const dl_phdr_info& object, dl_find_object* result) {
    std::uintptr_t start = UINTPTR_MAX;
    std::uintptr_t end = 0;
    void* unwindTable = nullptr;
    for (ElfW(Half) i = 0; i < object.dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = object.dlpi_phdr[i];
        const std::uintptr_t segmentStart = object.dlpi_addr + segment.p_vaddr;
        if (segment.p_type == kUnwindSegment) {
            unwindTable = reinterpret_cast<void*>(segmentStart);
        } else if (segment.p_type == PT_LOAD) {
            if (segmentStart < start) start = segmentStart;
            if (segmentStart + segment.p_memsz > end) end = segmentStart + segment.p_memsz;
        }
    }
    std::memset(result, 0, sizeof *result);
    result->dlfo_map_start = reinterpret_cast<void*>(start);
    result->dlfo_map_end = reinterpret_cast<void*>(end);
    result->dlfo_eh_frame = unwindTable;
}
// NOLINTEND(performance-no-int-to-ptr)

int visit(dl_phdr_info* object, std::size_t, void* context) {
    auto* search = static_cast<Search*>(context);
    for (ElfW(Half) i = 0; i < object->dlpi_phnum; ++i) {
        if (segmentContains(*object, object->dlpi_phdr[i], search->address)) {
            describe(*object, search->result);
            search->found = true;
            return 1;
        }
    }
    return 0;
}

}  // namespace

int findLoadedObject(const void* address, dl_find_object* result) noexcept {
    Search search{reinterpret_cast<std::uintptr_t>(address), result, false};
    dl_iterate_phdr(visit, &search);
    return search.found ? 0 : -1;
}

}  // namespace touchsdk

// libgcc's unwinder, linked into the library with libstdc++, finds unwind
// tables through _dl_find_object when built against glibc 2.35 or later,
// and that would make the library refuse to load on the boards' older
// glibc. This hidden definition wins over the loader's at link time and
// answers from dl_iterate_phdr, which every glibc has. Only where the
// structure has no extra members to fill: ARM unwinds through its own
// index table and never calls this.
#if defined(DLFO_STRUCT_HAS_EH_DBASE) && !DLFO_STRUCT_HAS_EH_DBASE && !DLFO_STRUCT_HAS_EH_COUNT
extern "C" __attribute__((visibility("hidden"))) int _dl_find_object(
    void* address, dl_find_object* result) noexcept {
    return touchsdk::findLoadedObject(address, result);
}
#endif
