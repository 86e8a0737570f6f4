#pragma once
// What the ODBC database component needs from Windows itself: the SQL Server
// instances the registry lists, and starting an instance's service through
// the service control manager.
#include <string>
#include <vector>

namespace t7::win32 {

// The names under HKLM\SOFTWARE\Microsoft\Microsoft SQL Server,
// InstalledInstances, in the 64-bit and the 32-bit registry view (MSDE 2000
// is a 32-bit program); "MSSQLSERVER" is the default instance.
std::vector<std::wstring> installedSqlServerInstances();

// Asks the service control manager to start MSSQLSERVER (`instance` empty
// or "MSSQLSERVER") or MSSQL$NAME, and returns without waiting for it to
// run; a service that already runs is left alone. Raises AppError with the
// Windows error number and text when the service cannot be started.
void startSqlServerService(const std::wstring& instance);

}  // namespace t7::win32
