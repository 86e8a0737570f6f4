#include "ui/qt/QtDisplay.h"

#include <dlfcn.h>

#include <cstdlib>

namespace t7::qt {
namespace {

bool nonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Opens and closes a connection to the X display, through the xcb library
// that Qt's own X platform plugin loads, so that nothing links to X here.
bool xDisplayAnswers() {
    void* xcb = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (!xcb) return false;
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    bool ok = false;
    if (connect && hasError && disconnect) {
        void* connection = connect(nullptr, nullptr);
        ok = connection && hasError(connection) == 0;
        // xcb_connect returns an error object on failure that must be freed too.
        if (connection) disconnect(connection);
    }
    dlclose(xcb);
    return ok;
}

}  // namespace

bool displayAvailable(std::string& why) {
    if (nonEmptyEnv("QT_QPA_PLATFORM") || nonEmptyEnv("WAYLAND_DISPLAY")) return true;
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

}  // namespace t7::qt
