// Leaks of the libraries under Qt that keep process-wide state until exit:
// the session bus connection (X platform) and the font configuration cache.
// LeakSanitizer asks the program for these itself, so no environment needs
// to carry them.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n"
           "leak:libfontconfig.so\n";
}
