// FreeXL 1.0.6 loses one allocation when freexl_open gives up on some damaged files (seen
// in the damaged-bytes test). It is the library's, a few kilobytes per rejected file, and
// must not hide leaks of our own: only that library is suppressed.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfreexl\n";
}
