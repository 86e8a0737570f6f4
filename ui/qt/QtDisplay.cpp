#include "ui/qt/QtDisplay.h"

#include <cstdlib>

namespace t7::qt {
bool displayAvailable(std::string& why) {
    std::string platform;
    if (const char* chosen = std::getenv("QT_QPA_PLATFORM")) platform = chosen;
    // "xcb:option" and "wayland;xcb" name the platform first.
    platform = platform.substr(0, platform.find_first_of(":;"));
    if (platform == "offscreen" || platform == "minimal") {
        // The wizard would wait for an operator who cannot see it.
        why = "no display: QT_QPA_PLATFORM=" + platform + " shows nothing";
        return false;
    }
    return platformDisplayAvailable(platform, why);
}

void releaseDisplayProbe() {
    releasePlatformDisplayProbe();
}

}  // namespace t7::qt
