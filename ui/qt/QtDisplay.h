#pragma once
// Whether the Qt GUI can be shown. Qt ends the process when its platform
// plugin cannot reach a display, so this is asked before any QApplication
// exists.
#include <string>

namespace t7::qt {

// True when QT_QPA_PLATFORM names a platform (tests use "offscreen"), when a
// Wayland display is named, or when the X display in DISPLAY accepts a
// connection. Otherwise false, with the reason in `why`.
bool displayAvailable(std::string& why);

}  // namespace t7::qt
