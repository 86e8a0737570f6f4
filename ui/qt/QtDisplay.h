#pragma once
// Whether the Qt GUI can be shown. Qt ends the process when its platform
// plugin cannot reach a display, so this is asked before any QApplication
// exists.
#include <string>

namespace t7::qt {

// True when an operator can see the GUI: a Wayland display is named, the X
// display in DISPLAY accepts a connection, or QT_QPA_PLATFORM names another
// platform that draws somewhere (vnc, eglfs, linuxfb). "offscreen" and
// "minimal" draw nowhere and count as no display. Otherwise false, with the
// reason in `why`.
// A display found this way stays connected until releaseDisplayProbe(),
// to be called once Qt has connected on its own.
bool displayAvailable(std::string& why);
void releaseDisplayProbe();

// The platform's part of the check, in ui/qt/<platform>/, once
// QT_QPA_PLATFORM (`platform`, empty when unset) has been found to name no
// platform that draws nowhere.
bool platformDisplayAvailable(const std::string& platform, std::string& why);
void releasePlatformDisplayProbe();

}  // namespace t7::qt
