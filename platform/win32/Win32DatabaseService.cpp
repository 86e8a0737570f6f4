// The database component of the Windows program: the embedded engine,
// compiled in, in the server folder T7SETUP_DATABASE names. Its service state
// lives in that folder, so the component's Start starts the engine itself.
#include "platform/win32/Win32DatabaseService.h"

#include <windows.h>

#include "base/AppError.h"
#include "base/Text.h"
#include "database/DatabaseComponent.h"
#include "platform/machine/MachineDatabaseComponent.h"
#include "platform/win32/Win32FileSystem.h"

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
    const std::wstring defaultFolder = programData + L"\\T7Setup\\sqlserver";
    if (setting.empty() || equalsIgnoreCase(setting, L"engine")) {
        choice.serverFolder = defaultFolder;
        return choice;
    }
    const std::wstring prefix = L"engine:";
    if (setting.size() > prefix.size() && equalsIgnoreCase(setting.substr(0, prefix.size()), prefix)) {
        choice.serverFolder = setting.substr(prefix.size());
        return choice;
    }
    throw AppError(
        errnum::InvalidProcedureCall,
        L"T7SETUP_DATABASE=" + setting + L" is not a database server: use engine or engine:<folder>");
}

namespace dmo {

std::shared_ptr<Application> makeApplication(std::function<std::vector<std::wstring>()> localNames,
                                             std::wstring machineName) {
    const std::wstring setting = environment(L"T7SETUP_DATABASE");
    // %ProgramData% is only needed for the default folder.
    const DatabaseChoice choice = parseDatabaseChoice(
        setting, setting.empty() || equalsIgnoreCase(setting, L"engine") ? windowsProgramDataFolder() : L"");
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
