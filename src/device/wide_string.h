#pragma once

#include <cwchar>
#include <memory>

namespace touchsdk {

using WideString = std::unique_ptr<wchar_t[]>;
using NarrowString = std::unique_ptr<char[]>;

// Convert in the environment's locale (LANG / LC_*), as the application's
// users expect of path and serial strings. Null in, or a string the locale
// rejects, gives null. The conversion runs under a locale private to the
// calling thread: the process-wide locale the application set is left alone,
// and conversions on other threads (the hot-plug watcher's) cannot race it.
WideString WideFromNarrow(const char* narrow);
NarrowString NarrowFromWide(const wchar_t* wide);

}  // namespace touchsdk
