#pragma once
// The statements the ODBC component sends to read the catalog and to manage
// logins, by server generation: SQL Server 2000 and MSDE 2000 (and older)
// have the catalog tables and the system procedures only; 2005 and later
// have the catalog views and the LOGIN statements. Names and passwords are
// bracketed identifiers or N'' literals, never pasted raw.
#include <string>

namespace t7::odbc {

enum class ServerGeneration { Sql2000, Sql2005 };

// From the driver's DBMS version ("08.00.2039", "09.00.1399"): before 9,
// Sql2000; 9 and later, or a text without a leading number, Sql2005.
ServerGeneration generationOf(const std::wstring& dbmsVersion);

// The database names in the server's order.
std::wstring databaseListQuery(ServerGeneration generation);
// One row: the number of logins named `name`, letter case ignored.
std::wstring loginCountQuery(ServerGeneration generation, const std::wstring& name);
std::wstring createLoginStatement(ServerGeneration generation, const std::wstring& name,
                                  const std::wstring& password);
// An empty `oldPassword` changes the password without checking the old one.
std::wstring changePasswordStatement(ServerGeneration generation, const std::wstring& name,
                                     const std::wstring& oldPassword, const std::wstring& newPassword);

}  // namespace t7::odbc
