// The platform's database component, chosen by T7SETUP_DATABASE: "engine"
// (the default without Windows) is the embedded server of the machine folder
// named by the environment, with data file paths in that folder as the
// wizard's other files; "odbc" is a SQL Server reached through unixODBC,
// with the attributes of T7SETUP_ODBC added to every connection string and
// the service started by the command runner's "net start".
#include <cstdlib>

#include "base/AppError.h"
#include "base/Text.h"
#include "platform/machine/MachineDatabaseComponent.h"
#include "platform/machine/MachineFileSystem.h"
#include "platform/odbc/OdbcDatabaseComponent.h"
#include "platform/posix/PosixCommandRunner.h"

namespace t7::dmo {
namespace {

std::wstring environmentText(const char* name) {
    const char* value = std::getenv(name);
    return value ? fromUtf8(value) : std::wstring();
}

}  // namespace

std::shared_ptr<Application> makeApplication(std::function<std::vector<std::wstring>()> localNames,
                                             std::wstring machineName) {
    const std::wstring choice = environmentText("T7SETUP_DATABASE");
    if (equalsIgnoreCase(choice, L"odbc")) {
        auto runner = std::make_shared<PosixCommandRunner>(PosixCommandRunner::forRunningProgram());
        OdbcDatabaseOptions options;
        options.machineName = std::move(machineName);
        options.localNames = std::move(localNames);
        options.extraAttributes = environmentText("T7SETUP_ODBC");
        options.startService = [runner](const std::wstring& instance) {
            runner->start(instance.empty() ? L"net start mssqlserver" : L"net start MSSQL$" + instance);
        };
        return std::make_shared<OdbcApplication>(std::move(options));
    }
    if (!choice.empty() && !equalsIgnoreCase(choice, L"engine")) {
        throw AppError(errnum::InvalidProcedureCall,
                       L"T7SETUP_DATABASE is \"" + choice + L"\"; it must be \"engine\" or \"odbc\".");
    }
    MachineFolder machine = MachineFolder::fromEnvironment();
    auto files = std::make_shared<MachineFileSystem>(machine);
    return std::make_shared<MachineApplication>(
        MachineDatabaseOptions{machine.sqlServerFolder(), std::move(machineName), std::move(localNames),
                               [files](const std::wstring& path) { return files->nativePath(path); }});
}

}  // namespace t7::dmo
