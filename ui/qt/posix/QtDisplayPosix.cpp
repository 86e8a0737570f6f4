// The display check on POSIX desktops: Wayland, or an X server that
// accepts a connection.
#include <dlfcn.h>

#include <cstdlib>

#include "ui/qt/QtDisplay.h"

namespace t7::qt {
namespace {

bool nonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// The xcb library that Qt's own X platform plugin loads, reached through
// dlopen so that nothing here links to X.
struct Xcb {
    void* library = nullptr;
    void* (*connect)(const char*, int*) = nullptr;
    int (*hasError)(void*) = nullptr;
    void (*disconnect)(void*) = nullptr;
    // The probe's connection, held until Qt has its own: an X server with no
    // client left resets itself, and would refuse Qt in the meantime.
    void* probe = nullptr;
};

Xcb& xcb() {
    static Xcb x;
    return x;
}

bool xDisplayAnswers() {
    Xcb& x = xcb();
    if (x.probe) return true;
    if (!x.library) {
        x.library = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
        if (!x.library) return false;
        x.connect = reinterpret_cast<void* (*)(const char*, int*)>(dlsym(x.library, "xcb_connect"));
        x.hasError = reinterpret_cast<int (*)(void*)>(dlsym(x.library, "xcb_connection_has_error"));
        x.disconnect = reinterpret_cast<void (*)(void*)>(dlsym(x.library, "xcb_disconnect"));
    }
    if (!x.connect || !x.hasError || !x.disconnect) return false;
    void* connection = x.connect(nullptr, nullptr);
    if (connection && x.hasError(connection) == 0) {
        x.probe = connection;
        return true;
    }
    // A failed connect still returns an object to free.
    if (connection) x.disconnect(connection);
    return false;
}

}  // namespace

bool platformDisplayAvailable(const std::string& platform, std::string& why) {
    if (!platform.empty() && platform != "xcb" && platform != "wayland") return true;
    if (platform != "xcb" && nonEmptyEnv("WAYLAND_DISPLAY")) return true;
    if (platform == "wayland") {
        why = "no display: WAYLAND_DISPLAY is not set";
        return false;
    }
    if (!nonEmptyEnv("DISPLAY")) {
        why = "no display: DISPLAY is not set";
        return false;
    }
    if (!xDisplayAnswers()) {
        why = std::string("no display: cannot connect to X display ") + std::getenv("DISPLAY");
        return false;
    }
    return true;
}

void releasePlatformDisplayProbe() {
    Xcb& x = xcb();
    if (x.probe) x.disconnect(x.probe);
    x.probe = nullptr;
}

}  // namespace t7::qt
