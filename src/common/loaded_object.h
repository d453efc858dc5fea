#pragma once

#include <dlfcn.h>

namespace touchsdk {

// Fills result for the loaded object (program or shared library) whose
// PT_LOAD segments contain address, from the loader's list of objects:
// the range of its segments and its unwind table (PT_GNU_EH_FRAME, or
// PT_ARM_EXIDX on ARM).
// Answers 0 on success and -1 when no object contains address, like the
// loader's _dl_find_object, which it stands in for (see loaded_object.cpp).
int findLoadedObject(const void* address, dl_find_object* result) noexcept;

}  // namespace touchsdk
