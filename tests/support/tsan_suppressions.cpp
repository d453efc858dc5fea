// ThreadSanitizer cannot see locks that are not pthread's: GLib's futex locks and umockdev's
// hand-offs to its worker thread. Reports that stem only from inside those libraries are silenced
// here; the library's own code stays fully checked.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libglib-2.0.so.0\n"
           "called_from_lib:libgobject-2.0.so.0\n"
           "called_from_lib:libgio-2.0.so.0\n"
           "called_from_lib:libumockdev.so.0\n"
           "called_from_lib:libumockdev-preload.so.0\n"
           // libudev seeds its hash key once per process without a lock.
           "race:getrandom\n";
}
#endif
