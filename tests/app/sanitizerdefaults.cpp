// Under AddressSanitizer: Qt's offscreen platform plugin never frees its screen and cursor, which
// LeakSanitizer reports when the application object goes. Those reports are suppressed by the
// plugin's name, which needs full stacks; every other leak still fails the run.

#if defined(__SANITIZE_ADDRESS__)
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\n";
}
#endif
