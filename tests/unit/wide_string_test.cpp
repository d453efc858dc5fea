#include "device/wide_string.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <thread>

namespace touchsdk {
namespace {

// Sets the environment's locale for the duration of a test.
class EnvironmentLocaleTest : public ::testing::Test {
protected:
    void useEnvironmentLocale(const char* name) { ::setenv("LC_ALL", name, 1); }
    void TearDown() override { ::unsetenv("LC_ALL"); }
};

TEST_F(EnvironmentLocaleTest, NullConvertsToNull) {
    EXPECT_EQ(WideFromNarrow(nullptr), nullptr);
    EXPECT_EQ(NarrowFromWide(nullptr), nullptr);
}

TEST_F(EnvironmentLocaleTest, EmptyStringsRoundTrip) {
    const WideString wide = WideFromNarrow("");
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide[0], L'\0');
    const NarrowString narrow = NarrowFromWide(L"");
    ASSERT_NE(narrow, nullptr);
    EXPECT_EQ(narrow[0], '\0');
}

TEST_F(EnvironmentLocaleTest, ConvertsInTheEnvironmentsLocale) {
    useEnvironmentLocale("C.UTF-8");
    const WideString wide = WideFromNarrow("/sys/\xC3\xA9t\xC3\xA9");  // "/sys/été"
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::wstring(wide.get()), std::wstring(L"/sys/\u00E9t\u00E9"));
    const NarrowString narrow = NarrowFromWide(L"/sys/\u00E9t\u00E9");
    ASSERT_NE(narrow, nullptr);
    EXPECT_STREQ(narrow.get(), "/sys/\xC3\xA9t\xC3\xA9");
}

TEST_F(EnvironmentLocaleTest, RejectedBytesConvertToNull) {
    useEnvironmentLocale("C.UTF-8");
    EXPECT_EQ(WideFromNarrow("bad \xFF byte"), nullptr);
    // A lone surrogate has no UTF-8 form.
    const wchar_t surrogate[] = {L'a', static_cast<wchar_t>(0xD800), L'\0'};
    EXPECT_EQ(NarrowFromWide(surrogate), nullptr);
}

TEST_F(EnvironmentLocaleTest, LeavesTheApplicationsLocaleAlone) {
    useEnvironmentLocale("C.UTF-8");
    const std::string before = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    const std::string mine = std::setlocale(LC_ALL, nullptr);
    EXPECT_NE(WideFromNarrow("abc"), nullptr);
    EXPECT_NE(NarrowFromWide(L"abc"), nullptr);
    EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), mine);
    std::setlocale(LC_ALL, before.c_str());
}

TEST_F(EnvironmentLocaleTest, UnknownEnvironmentLocaleFallsBackToC) {
    useEnvironmentLocale("xx_NOWHERE.UTF-8");
    const WideString wide = WideFromNarrow("plain");
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::wstring(wide.get()), L"plain");
}

TEST_F(EnvironmentLocaleTest, ConversionsOnManyThreadsAgree) {
    useEnvironmentLocale("C.UTF-8");
    auto convertMany = [] {
        for (int i = 0; i < 500; ++i) {
            const WideString wide = WideFromNarrow("\xC3\xA9");
            if (wide == nullptr || wide[0] != L'\u00E9') ADD_FAILURE() << "conversion " << i;
        }
    };
    std::thread a(convertMany);
    std::thread b(convertMany);
    a.join();
    b.join();
}

}  // namespace
}  // namespace touchsdk
