#include "device/wide_string.h"

#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace touchsdk {
namespace {

// Makes the environment's locale current for this thread only, for as long
// as it lives. An environment naming a locale that is not installed falls
// back to "C", as setlocale(LC_ALL, "") would leave it.
class EnvironmentLocale {
public:
    EnvironmentLocale() {
        locale_ = ::newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
        if (locale_ == static_cast<locale_t>(nullptr)) {
            locale_ = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        }
        if (locale_ != static_cast<locale_t>(nullptr)) previous_ = ::uselocale(locale_);
    }
    ~EnvironmentLocale() {
        if (locale_ == static_cast<locale_t>(nullptr)) return;
        ::uselocale(previous_);
        ::freelocale(locale_);
    }
    EnvironmentLocale(const EnvironmentLocale&) = delete;
    EnvironmentLocale& operator=(const EnvironmentLocale&) = delete;

private:
    locale_t locale_ = static_cast<locale_t>(nullptr);
    locale_t previous_ = static_cast<locale_t>(nullptr);
};

constexpr std::size_t kConversionFailed = static_cast<std::size_t>(-1);

}  // namespace

WideString WideFromNarrow(const char* narrow) {
    if (narrow == nullptr) return nullptr;
    EnvironmentLocale locale;
    const std::size_t measure = std::mbstowcs(nullptr, narrow, 0);
    if (measure == kConversionFailed) return nullptr;
    WideString wide(new wchar_t[measure + 1]);
    if (std::mbstowcs(wide.get(), narrow, measure + 1) == kConversionFailed) return nullptr;
    return wide;
}

NarrowString NarrowFromWide(const wchar_t* wide) {
    if (wide == nullptr) return nullptr;
    EnvironmentLocale locale;
    const std::size_t measure = std::wcstombs(nullptr, wide, 0);
    if (measure == kConversionFailed) return nullptr;
    NarrowString narrow(new char[measure + 1]);
    if (std::wcstombs(narrow.get(), wide, measure + 1) == kConversionFailed) return nullptr;
    return narrow;
}

}  // namespace touchsdk
