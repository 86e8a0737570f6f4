// Without the Windows platform, the registry and the file system are those
// of the machine folder named by the environment.
#include "platform/machine/MachineFileSystem.h"
#include "platform/machine/MachineRegistryHive.h"

namespace t7 {

std::unique_ptr<IRegistryHive> makeRegistryHive() {
    return std::make_unique<MachineRegistryHive>(MachineFolder::fromEnvironment());
}

std::unique_ptr<IFileSystem> makeFileSystem() {
    return std::make_unique<MachineFileSystem>(MachineFolder::fromEnvironment());
}

}  // namespace t7
