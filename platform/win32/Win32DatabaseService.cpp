// The database component of the Windows program, as T7SETUP_DATABASE
// chooses: SQL Server over ODBC (odbc32), its instances found through the
// SQL Server Browser and the registry and its services started by the
// service control manager; or the embedded engine, compiled in, whose
// service state lives in its server folder, so that Start starts the engine
// itself.
#include "platform/win32/Win32DatabaseService.h"

#include <windows.h>

#include "base/AppError.h"
#include "base/Text.h"
#include "database/DatabaseComponent.h"
#include "platform/machine/MachineDatabaseComponent.h"
#include "platform/odbc/OdbcDatabaseComponent.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32SqlServerServices.h"

namespace t7 {
namespace {

std::wstring environment(const wchar_t* name) {
    const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0) return L"";
    std::wstring value(n, L'\0');
    const DWORD got = GetEnvironmentVariableW(name, value.data(), n);
    value.resize(got < n ? got : 0);
    return value;
}

}  // namespace

DatabaseChoice parseDatabaseChoice(const std::wstring& setting, const std::wstring& programData) {
    DatabaseChoice choice;
    if (setting.empty() || equalsIgnoreCase(setting, L"odbc")) return choice;
    choice.kind = DatabaseChoice::Kind::Engine;
    if (equalsIgnoreCase(setting, L"engine")) {
        choice.serverFolder = programData + L"\\T7Setup\\sqlserver";
        return choice;
    }
    const std::wstring prefix = L"engine:";
    if (setting.size() > prefix.size() && equalsIgnoreCase(setting.substr(0, prefix.size()), prefix)) {
        choice.serverFolder = setting.substr(prefix.size());
        return choice;
    }
    throw AppError(
        errnum::InvalidProcedureCall,
        L"T7SETUP_DATABASE=" + setting + L" is not a database server: use odbc, engine or engine:<folder>");
}

namespace dmo {

std::shared_ptr<Application> makeApplication(std::function<std::vector<std::wstring>()> localNames,
                                             std::wstring machineName) {
    const std::wstring setting = environment(L"T7SETUP_DATABASE");
    // %ProgramData% is only needed for the engine's default folder.
    const DatabaseChoice choice =
        parseDatabaseChoice(setting, equalsIgnoreCase(setting, L"engine") ? windowsProgramDataFolder() : L"");
    if (choice.kind == DatabaseChoice::Kind::Odbc) {
        OdbcDatabaseOptions options;
        options.machineName = std::move(machineName);
        options.localNames = std::move(localNames);
        options.extraAttributes = environment(L"T7SETUP_ODBC");
        options.installedInstances = win32::installedSqlServerInstances;
        options.startService = win32::startSqlServerService;
        return std::make_shared<OdbcApplication>(std::move(options));
    }
    std::error_code ec;
    std::filesystem::create_directories(choice.serverFolder, ec);
    if (ec) {
        throw AppError(errnum::PathNotFound,
                       L"Path not found: the database server folder " + choice.serverFolder.wstring());
    }
    // Data file paths are Windows paths already.
    return std::make_shared<MachineApplication>(
        MachineDatabaseOptions{choice.serverFolder, std::move(machineName), std::move(localNames),
                               [](const std::wstring& path) { return std::filesystem::path(path); }});
}

}  // namespace dmo
}  // namespace t7
