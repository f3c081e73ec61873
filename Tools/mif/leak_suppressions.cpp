// leak_suppressions.cpp - what LeakSanitizer is told to overlook in mif.
//
// Built into sanitizer builds only. The drawing engine renders text through
// cairo and fontconfig, and fontconfig keeps its configuration and font
// caches for the life of the process; at exit LeakSanitizer would report
// them and turn every render of a drawing with text into a failure. The
// list of suppressions used is not printed, so that stderr carries only the
// program's own messages.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" const char* __lsan_default_options()
{
    return "print_suppressions=0";
}
