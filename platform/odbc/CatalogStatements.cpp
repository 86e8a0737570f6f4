#include "platform/odbc/CatalogStatements.h"

#include "database/SqlText.h"

namespace t7::odbc {

using sqltext::bracketed;
using sqltext::unicodeLiteral;

ServerGeneration generationOf(const std::wstring& dbmsVersion) {
    int major = 0;
    size_t digits = 0;
    while (digits < dbmsVersion.size() && digits < 4 && dbmsVersion[digits] >= L'0' &&
           dbmsVersion[digits] <= L'9') {
        major = major * 10 + (dbmsVersion[digits] - L'0');
        ++digits;
    }
    return digits > 0 && major < 9 ? ServerGeneration::Sql2000 : ServerGeneration::Sql2005;
}

std::wstring databaseListQuery(ServerGeneration generation) {
    return generation == ServerGeneration::Sql2000 ? L"SELECT name FROM master.dbo.sysdatabases ORDER BY dbid"
                                                   : L"SELECT name FROM sys.databases ORDER BY database_id";
}

std::wstring loginCountQuery(ServerGeneration generation, const std::wstring& name) {
    const std::wstring where = L"UPPER(name) = UPPER(" + unicodeLiteral(name) + L")";
    return generation == ServerGeneration::Sql2000
               ? L"SELECT COUNT(*) FROM master.dbo.syslogins WHERE " + where
               : L"SELECT COUNT(*) FROM sys.server_principals WHERE type IN ('S','U','G') AND " + where;
}

std::wstring createLoginStatement(ServerGeneration generation, const std::wstring& name,
                                  const std::wstring& password) {
    return generation == ServerGeneration::Sql2000
               ? L"EXEC sp_addlogin @loginame = " + unicodeLiteral(name) + L", @passwd = " +
                     unicodeLiteral(password)
               : L"CREATE LOGIN " + bracketed(name) + L" WITH PASSWORD = " + unicodeLiteral(password);
}

std::wstring changePasswordStatement(ServerGeneration generation, const std::wstring& name,
                                     const std::wstring& oldPassword, const std::wstring& newPassword) {
    if (generation == ServerGeneration::Sql2000) {
        return L"EXEC sp_password @old = " + (oldPassword.empty() ? L"NULL" : unicodeLiteral(oldPassword)) +
               L", @new = " + unicodeLiteral(newPassword) + L", @loginame = " + unicodeLiteral(name);
    }
    std::wstring statement =
        L"ALTER LOGIN " + bracketed(name) + L" WITH PASSWORD = " + unicodeLiteral(newPassword);
    if (!oldPassword.empty()) statement += L" OLD_PASSWORD = " + unicodeLiteral(oldPassword);
    return statement;
}

}  // namespace t7::odbc
