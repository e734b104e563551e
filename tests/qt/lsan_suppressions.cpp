// Under AddressSanitizer's leak checker: allocations that Qt, fontconfig, FreeType and GLib keep
// for the life of the process are theirs, not leaks of ours. The sanitizer runtime asks for this
// list at start-up; other builds never call it.
extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6Core.so\n"
           "leak:libQt6Gui.so\n"
           "leak:libQt6Widgets.so\n"
           "leak:libqoffscreen.so\n"
           "leak:libfontconfig.so\n"
           "leak:libfreetype.so\n"
           "leak:libglib-2.0.so\n";
}
