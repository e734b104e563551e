// Sanitizer settings for the test programs that run the Qt panel. Each sanitizer runtime asks
// for its own at start-up; a build without that sanitizer never calls it.
//
// Leak checker: allocations that Qt, fontconfig, FreeType and GLib keep for the life of the
// process are theirs, not leaks of ours.
//
// Thread checker: Qt is not built for it, so the allocations Qt makes on its own pooled threads
// (image and font work) look like races to it. Calls from such libraries are not checked; every
// access made by our code, the handlers Qt calls on the UI thread included, still is. The tests
// on Xvfb start xdotool through QProcess, whose child shares the test's memory until it runs
// xdotool; the checker then takes the test for a forked child and stops it at its next thread
// start (the next test's simulator thread). No test forks to go on running threads in the child.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __tsan_default_options();

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6Core.so\n"
           "leak:libQt6Gui.so\n"
           "leak:libQt6Widgets.so\n"
           "leak:libqoffscreen.so\n"
           "leak:libfontconfig.so\n"
           "leak:libfreetype.so\n"
           "leak:libglib-2.0.so\n";
}

extern "C" const char* __tsan_default_options() {
    return "ignore_noninstrumented_modules=1:die_after_fork=0";
}
