#include "device/wide_string.h"

#include <locale.h>

#include <clocale>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

namespace touchsdk {
namespace {

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The environment's character-set locale, made once per distinct
// environment and kept for the process's life: locale objects are immutable
// and may be used by many threads at once, while making and freeing them on
// every call would churn glibc's shared conversion tables. An environment
// naming a locale that is not installed falls back to "C", as
// setlocale(LC_ALL, "") would leave it.
locale_t environmentLocale() {
    static std::mutex mutex;
    static auto* cache = new std::map<std::string, locale_t>();  // never freed
    const std::string key = environmentValue("LC_ALL") + '\n' + environmentValue("LC_CTYPE") +
                            '\n' + environmentValue("LANG");
    std::lock_guard<std::mutex> guard(mutex);
    const auto found = cache->find(key);
    if (found != cache->end()) return found->second;
    locale_t made = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (made == static_cast<locale_t>(nullptr)) {
        made = ::newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    }
    if (made != static_cast<locale_t>(nullptr)) cache->emplace(key, made);
    return made;
}

// Makes the environment's locale current for this thread only, for as long
// as it lives; the process-wide locale is never touched.
class EnvironmentLocale {
public:
    EnvironmentLocale() : locale_(environmentLocale()) {
        if (locale_ != static_cast<locale_t>(nullptr)) previous_ = ::uselocale(locale_);
    }
    ~EnvironmentLocale() {
        if (locale_ != static_cast<locale_t>(nullptr)) ::uselocale(previous_);
    }
    EnvironmentLocale(const EnvironmentLocale&) = delete;
    EnvironmentLocale& operator=(const EnvironmentLocale&) = delete;

private:
    locale_t locale_;
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
