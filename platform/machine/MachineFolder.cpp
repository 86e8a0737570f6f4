#include "platform/machine/MachineFolder.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace t7 {

MachineFolder MachineFolder::fromEnvironment() {
    if (const char* machine = std::getenv("T7SETUP_MACHINE"); machine && *machine) {
        return MachineFolder(machine);
    }
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        return MachineFolder(std::filesystem::path(data) / "t7setup" / "machine");
    }
    const char* home = std::getenv("HOME");
    std::filesystem::path base = home && *home ? std::filesystem::path(home) : std::filesystem::path(".");
    return MachineFolder(base / ".local" / "share" / "t7setup" / "machine");
}

std::filesystem::path MachineFolder::driveFolder(char letter) const {
    return m_root / (std::string("drive_") + static_cast<char>(std::tolower(static_cast<unsigned char>(letter))));
}

}  // namespace t7
