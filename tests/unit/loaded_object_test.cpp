#include "common/loaded_object.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

namespace touchsdk {
namespace {

using FindObject = int (*)(void*, dl_find_object*);

// The loader's own lookup, where the glibc at hand has it (2.35 and later),
// to hold ours against.
FindObject loaderFindObject() {
    return reinterpret_cast<FindObject>(dlsym(RTLD_DEFAULT, "_dl_find_object"));
}

void* addressOf(const char* symbol) { return dlsym(RTLD_DEFAULT, symbol); }

bool contains(const dl_find_object& object, const void* address) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    return at >= reinterpret_cast<std::uintptr_t>(object.dlfo_map_start) &&
           at < reinterpret_cast<std::uintptr_t>(object.dlfo_map_end);
}

int localFunction() { return 7; }

struct Place {
    const char* name;
    void* address;
};

// Code in this program, in libc and in libudev: the unwinder asks for each
// kind when an exception passes through it.
TEST(LoadedObject, FindsTheSameUnwindTableAsTheLoader) {
    const FindObject loader = loaderFindObject();
    if (loader == nullptr) GTEST_SKIP() << "this glibc has no _dl_find_object";
    const Place places[] = {
        {"this program", reinterpret_cast<void*>(&localFunction)},
        {"libc", addressOf("strlen")},
        {"libudev", addressOf("udev_new")},
    };
    for (const Place& place : places) {
        SCOPED_TRACE(place.name);
        ASSERT_NE(place.address, nullptr);
        dl_find_object ours{};
        dl_find_object theirs{};
        ASSERT_EQ(findLoadedObject(place.address, &ours), 0);
        ASSERT_EQ(loader(place.address, &theirs), 0);
        // Some distribution builds carry no unwind table (libudev on
        // mips64el): then both must say so.
        EXPECT_EQ(ours.dlfo_eh_frame, theirs.dlfo_eh_frame);
        EXPECT_TRUE(contains(ours, place.address));
        EXPECT_TRUE(contains(theirs, ours.dlfo_map_start));
    }
}

TEST(LoadedObject, DataOfTheProgramBelongsToIt) {
    static int programData = 1;
    dl_find_object code{};
    dl_find_object data{};
    ASSERT_EQ(findLoadedObject(reinterpret_cast<void*>(&localFunction), &code), 0);
    ASSERT_EQ(findLoadedObject(&programData, &data), 0);
    EXPECT_NE(code.dlfo_eh_frame, nullptr);
    EXPECT_EQ(code.dlfo_eh_frame, data.dlfo_eh_frame);
    EXPECT_EQ(code.dlfo_map_start, data.dlfo_map_start);
}

TEST(LoadedObject, AddressesOutsideEveryObjectAreNotFound) {
    const auto heap = std::make_unique<int>(0);
    int stack = 0;
    dl_find_object result{};
    EXPECT_EQ(findLoadedObject(heap.get(), &result), -1);
    EXPECT_EQ(findLoadedObject(&stack, &result), -1);
    EXPECT_EQ(findLoadedObject(nullptr, &result), -1);
}

}  // namespace
}  // namespace touchsdk
