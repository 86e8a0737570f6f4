#pragma once
// The database management component over ODBC to SQL Server or MSDE, using
// only the wide-character calls (SQL…W). The server is named as the wizard
// takes it ("host", "host,port", "host\instance"); ".", "(local)",
// "localhost", the machine name and the local names mean this machine.
// Logins use SQL Server authentication; the login wait is the driver's login
// timeout. Errors are mapped as platform/odbc/OdbcErrors.h says, and the
// passwords given to a call never appear in the error it raises.
//
// Catalogs and login statements by server version (the driver's DBMS
// version): SQL Server 2000 and MSDE 2000 (8.x and older) use
// master.dbo.sysdatabases, master.dbo.syslogins, sp_addlogin and
// sp_password; 2005 and later use sys.databases, sys.server_principals,
// CREATE LOGIN and ALTER LOGIN.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "database/DatabaseComponent.h"

namespace t7 {

struct OdbcDatabaseOptions {
    // The machine's name; listed when the browser names no instance.
    std::wstring machineName{};
    // Further names of this machine (the process's IPArray), read at each
    // connection attempt.
    std::function<std::vector<std::wstring>()> localNames{};
    // Attributes added to every connection string (T7SETUP_ODBC), e.g.
    // "Driver={FreeTDS};Port=14330;TDS_Version=7.4".
    std::wstring extraAttributes{};
    // The instance names this machine's registry lists ("MSSQLSERVER" for
    // the default one); empty where there is no such registry.
    std::function<std::vector<std::wstring>()> installedInstances{};
    // UDP port of the SQL Server Browser on this machine.
    uint16_t browserPort = 1434;
    std::chrono::milliseconds browserWait{500};
    // Starts the database service of a server on this machine (`instance`
    // empty for the default one) and returns without waiting for it; empty
    // when the platform cannot. Start then connects until the login wait
    // has passed.
    std::function<void(const std::wstring& instance)> startService{};
};

class OdbcApplication : public dmo::Application {
public:
    explicit OdbcApplication(OdbcDatabaseOptions options);

    // The instances the SQL Server Browser on this machine reports, then
    // those the registry lists that it did not; the machine's name when
    // there are none.
    dmo::NameList ListAvailableSQLServers() override;
    std::shared_ptr<dmo::SQLServer> NewSQLServer() override;
    std::shared_ptr<dmo::Login> NewLogin() override;

private:
    std::shared_ptr<const OdbcDatabaseOptions> m_options;
};

// The ODBC drivers installed, by name (SQLDriversW).
std::vector<std::wstring> installedOdbcDrivers();

}  // namespace t7
