// The ODBC component's catalog queries and login statements for SQL Server
// 2000 (and MSDE 2000) and for 2005 and later, as exact texts.
#include <gtest/gtest.h>

#include <string>

#include "platform/odbc/CatalogStatements.h"

namespace t7::odbc {
namespace {

TEST(CatalogStatementsTest, GenerationFollowsTheMajorVersion) {
    EXPECT_EQ(generationOf(L"08.00.2039"), ServerGeneration::Sql2000);
    EXPECT_EQ(generationOf(L"07.00.1063"), ServerGeneration::Sql2000);
    EXPECT_EQ(generationOf(L"09.00.1399"), ServerGeneration::Sql2005);
    EXPECT_EQ(generationOf(L"16.00.1000"), ServerGeneration::Sql2005);
    EXPECT_EQ(generationOf(L""), ServerGeneration::Sql2005);
}

TEST(CatalogStatementsTest, Sql2000UsesTheCatalogTablesAndSystemProcedures) {
    const ServerGeneration g = ServerGeneration::Sql2000;
    EXPECT_EQ(databaseListQuery(g), L"SELECT name FROM master.dbo.sysdatabases ORDER BY dbid");
    EXPECT_EQ(loginCountQuery(g, L"o'neil"),
              L"SELECT COUNT(*) FROM master.dbo.syslogins WHERE UPPER(name) = UPPER(N'o''neil')");
    EXPECT_EQ(createLoginStatement(g, L"a]b", L"It's"),
              L"EXEC sp_addlogin @loginame = N'a]b', @passwd = N'It''s'");
    EXPECT_EQ(changePasswordStatement(g, L"sa", L"", L"New'1"),
              L"EXEC sp_password @old = NULL, @new = N'New''1', @loginame = N'sa'");
    EXPECT_EQ(changePasswordStatement(g, L"sa", L"old", L"new"),
              L"EXEC sp_password @old = N'old', @new = N'new', @loginame = N'sa'");
}

TEST(CatalogStatementsTest, Sql2005UsesTheCatalogViewsAndLoginStatements) {
    const ServerGeneration g = ServerGeneration::Sql2005;
    EXPECT_EQ(databaseListQuery(g), L"SELECT name FROM sys.databases ORDER BY database_id");
    EXPECT_EQ(loginCountQuery(g, L"x"),
              L"SELECT COUNT(*) FROM sys.server_principals WHERE type IN ('S','U','G') AND UPPER(name) = "
              L"UPPER(N'x')");
    EXPECT_EQ(createLoginStatement(g, L"a]b", L"It's"), L"CREATE LOGIN [a]]b] WITH PASSWORD = N'It''s'");
    EXPECT_EQ(changePasswordStatement(g, L"sa", L"", L"new"), L"ALTER LOGIN [sa] WITH PASSWORD = N'new'");
    EXPECT_EQ(changePasswordStatement(g, L"sa", L"o'ld", L"new"),
              L"ALTER LOGIN [sa] WITH PASSWORD = N'new' OLD_PASSWORD = N'o''ld'");
}

}  // namespace
}  // namespace t7::odbc
