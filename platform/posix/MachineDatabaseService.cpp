// Without the Windows platform, the database server is the embedded one of
// the machine folder named by the environment; data file paths lie in that
// folder as the wizard's other files do.
#include "platform/machine/MachineDatabaseComponent.h"
#include "platform/machine/MachineFileSystem.h"

namespace t7::dmo {

std::shared_ptr<Application> makeApplication(std::function<std::vector<std::wstring>()> localNames,
                                             std::wstring machineName) {
    MachineFolder machine = MachineFolder::fromEnvironment();
    auto files = std::make_shared<MachineFileSystem>(machine);
    return std::make_shared<MachineApplication>(
        MachineDatabaseOptions{machine.sqlServerFolder(), std::move(machineName), std::move(localNames),
                               [files](const std::wstring& path) { return files->nativePath(path); }});
}

}  // namespace t7::dmo
