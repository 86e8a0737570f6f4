// On POSIX systems the registry, the file system and the web server are
// those of the machine folder named by the environment. Each factory first
// removes what a killed run left beside the files it rewrites.
#include "base/DurableFile.h"
#include "platform/machine/ApplicationHostStore.h"
#include "platform/machine/MachineFileSystem.h"
#include "platform/machine/MachineRegistryHive.h"

namespace t7 {

std::unique_ptr<IRegistryHive> makeRegistryHive() {
    const MachineFolder machine = MachineFolder::fromEnvironment();
    removeLeftoverTemporaries(machine.registryFile());
    return std::make_unique<MachineRegistryHive>(machine);
}

std::unique_ptr<IFileSystem> makeFileSystem() {
    return std::make_unique<MachineFileSystem>(MachineFolder::fromEnvironment());
}

std::unique_ptr<IWebServerStore> makeWebServerStore(const IFileSystem& fileSystem,
                                                    std::function<std::vector<std::wstring>()> localNames) {
    const MachineFolder machine = MachineFolder::fromEnvironment();
    removeLeftoverTemporaries(machine.applicationHostConfig());
    return std::make_unique<ApplicationHostStore>(machine.applicationHostConfig(), fileSystem,
                                                  std::move(localNames));
}

}  // namespace t7
