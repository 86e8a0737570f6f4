// The scripts run on the embedded server. An examination database of the
// previous release, upgraded, must end with the catalog of a new one; the
// default rows and the log script must be safe to run again.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "ScriptTestSupport.h"
#include "base/Text.h"
#include "database/BatchSplitter.h"
#include "resources/ScriptResources.h"
#include "sqlengine/Engine.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

using Lines = std::vector<std::string>;

std::string cell(const std::optional<std::string>& value) {
    return value ? *value : "NULL";
}

class ScriptConvergenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_server = sqlengine::Server::open(m_dir.path() / "sqlserver");
        m_session = m_server->connect("sa", "");
    }

    void createDatabase(const std::string& name) { m_session->executeBatch("CREATE DATABASE " + name); }

    // Runs a script batch by batch as the wizard does; a failing batch fails
    // the test with the server's error and the batch.
    void run(const std::string& database, const std::wstring& script) {
        m_session->useDatabase(database);
        for (const std::wstring& batch : splitBatches(script)) {
            try {
                m_session->executeBatch(toUtf8(batch));
            } catch (const sqlengine::SqlError& e) {
                FAIL() << "error " << e.number() << ": " << e.message() << "\nin the batch:\n"
                       << toUtf8(batch);
            }
        }
    }

    Lines query(const std::string& database, const std::string& sql) {
        m_session->useDatabase(database);
        Lines out;
        sqlengine::BatchResult result = m_session->executeBatch(sql);
        for (const sqlengine::ResultSet& set : result.resultSets) {
            for (const auto& row : set.rows) {
                std::string line;
                for (size_t i = 0; i < row.size(); ++i) line += (i ? "|" : "") + cell(row[i]);
                out.push_back(line);
            }
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    // Tables, columns with their types, indexes, views, procedures and
    // triggers, read through the catalog views; object ids are replaced by
    // names so that two databases compare.
    Lines catalog(const std::string& database) {
        Lines out;
        auto add = [&](const std::string& kind, const Lines& lines) {
            for (const std::string& l : lines) out.push_back(kind + " " + l);
        };
        add("object", query(database,
                            "select o.name, o.xtype, isnull(p.name, '') from sysobjects o "
                            "left join sysobjects p on p.id = o.parent_obj "
                            "where o.xtype in ('U', 'V', 'P', 'TR', 'PK', 'UQ', 'F', 'D')"));
        add("column", query(database,
                            "select o.name, c.name, sc.type_name, c.max_length, c.precision, c.scale, "
                            "c.is_nullable, c.is_identity, c.collation_name from sys.columns c "
                            "inner join sys.objects o on o.object_id = c.object_id "
                            "inner join syscolumns sc on sc.id = c.object_id and sc.name = c.name "
                            "where o.type in ('U', 'V')"));
        add("index", query(database,
                           "select o.name, i.name, i.is_unique, i.type from sys.indexes i "
                           "inner join sys.objects o on o.object_id = i.object_id "
                           "where o.type = 'U' and i.name is not null"));
        return out;
    }

    // Every row of every table, read in one batch.
    Lines rows(const std::string& database) {
        Lines tables = query(database, "select name from sys.tables");
        std::string batch;
        for (const std::string& table : tables) batch += "select * from [" + table + "]\n";
        sqlengine::BatchResult result = m_session->executeBatch(batch);
        EXPECT_EQ(result.resultSets.size(), tables.size());
        Lines out;
        for (size_t t = 0; t < tables.size() && t < result.resultSets.size(); ++t) {
            for (const auto& row : result.resultSets[t].rows) {
                std::string line = tables[t] + ":";
                for (const auto& value : row) line += " " + cell(value);
                out.push_back(line);
            }
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    // The rows the default-rows script owns: rights, built-in roles with
    // their rights, and the default subject.
    Lines ownedRows(const std::string& database) {
        Lines out;
        auto add = [&](const std::string& table, const std::string& sql) {
            for (const std::string& l : query(database, sql)) out.push_back(table + ": " + l);
        };
        add("RightItem",
            "select RightID, RightName, RightCode, ParentID, Permission, SortOrder from RightItem");
        add("ROLEADMIN", "select RoleID, RoleName, Permission, Description, IsSystem from ROLEADMIN");
        add("RolesRights", "select RoleID, RightID from RolesRights");
        add("SUBJECT", "select SubjectID, SubjectName, ParentID, Description, SortOrder from SUBJECT");
        std::sort(out.begin(), out.end());
        return out;
    }

    static void expectSame(const Lines& expected, const Lines& actual, const char* what) {
        Lines missing, extra;
        std::set_difference(expected.begin(), expected.end(), actual.begin(), actual.end(),
                            std::back_inserter(missing));
        std::set_difference(actual.begin(), actual.end(), expected.begin(), expected.end(),
                            std::back_inserter(extra));
        std::string report;
        for (const std::string& l : missing) report += "  missing: " + l + "\n";
        for (const std::string& l : extra) report += "  extra:   " + l + "\n";
        EXPECT_TRUE(missing.empty() && extra.empty()) << what << ":\n" << report;
    }

    test::TempDir m_dir;
    std::unique_ptr<sqlengine::Server> m_server;
    std::unique_ptr<sqlengine::Session> m_session;
};

TEST_F(ScriptConvergenceTest, UpgradedPreviousReleaseHasTheCatalogOfANewDatabase) {
    createDatabase("T7");
    run("T7", LoadScriptText(L"T7SQL"));
    run("T7", LoadScriptText(L"T7DATA"));

    createDatabase("T7Old");
    run("T7Old", test::sourceFile("tests/fixtures/previous-release.sql"));
    ASSERT_FALSE(HasFatalFailure());
    Lines before = catalog("T7Old");
    run("T7Old", LoadScriptText(L"T7UPDATE"));
    run("T7Old", LoadScriptText(L"T7Data"));
    ASSERT_FALSE(HasFatalFailure());

    Lines fresh = catalog("T7");
    EXPECT_GT(fresh.size(), before.size()) << "the previous release already had everything";
    expectSame(fresh, catalog("T7Old"), "upgraded database against a new one");
    // The upgrade keeps the rows the old database had, and brings the
    // built-in roles, rights and default subject to a new one's.
    EXPECT_EQ(query("T7Old", "select NAME, ROLE, UserCode from USERINFO"), Lines{"admin|0|NULL"});
    expectSame(ownedRows("T7"), ownedRows("T7Old"), "default rows of the upgraded database");
    run("T7Old", LoadScriptText(L"T7UPDATE"));
    run("T7Old", LoadScriptText(L"T7Data"));
    expectSame(ownedRows("T7"), ownedRows("T7Old"), "default rows after a second upgrade");
}

// Tables are created before columns are added, so even a database that
// lacks whole tables, here all of them, ends with the full schema.
TEST_F(ScriptConvergenceTest, UpgradeOfAnEmptyDatabaseBuildsTheWholeSchema) {
    createDatabase("T7");
    run("T7", LoadScriptText(L"T7SQL"));
    createDatabase("T7Empty");
    run("T7Empty", LoadScriptText(L"T7UPDATE"));
    ASSERT_FALSE(HasFatalFailure());
    expectSame(catalog("T7"), catalog("T7Empty"), "upgraded empty database against a new one");
}

TEST_F(ScriptConvergenceTest, UpgradeOfACurrentDatabaseChangesNothing) {
    createDatabase("T7");
    run("T7", LoadScriptText(L"T7SQL"));
    run("T7", LoadScriptText(L"T7DATA"));
    ASSERT_FALSE(HasFatalFailure());
    Lines catalogBefore = catalog("T7");
    Lines rowsBefore = rows("T7");
    run("T7", LoadScriptText(L"T7UPDATE"));
    run("T7", LoadScriptText(L"T7DATA"));
    ASSERT_FALSE(HasFatalFailure());
    expectSame(catalogBefore, catalog("T7"), "catalog after the upgrade");
    expectSame(rowsBefore, rows("T7"), "rows after the upgrade and the default rows again");
}

TEST_F(ScriptConvergenceTest, DefaultRowsRunTwiceChangeNothing) {
    createDatabase("T7");
    run("T7", LoadScriptText(L"T7SQL"));
    run("T7", LoadScriptText(L"T7DATA"));
    ASSERT_FALSE(HasFatalFailure());
    Lines once = rows("T7");
    EXPECT_EQ(query("T7", "select Permission from ROLEADMIN where RoleID = 0"), Lines{"2147483647"});
    EXPECT_FALSE(query("T7", "select SubjectName from SUBJECT").empty());
    run("T7", LoadScriptText(L"T7DATA"));
    expectSame(once, rows("T7"), "rows after the second run");
}

TEST_F(ScriptConvergenceTest, LogScriptRunsAgainOnItsOwnResult) {
    createDatabase("OstrelLog");
    run("OstrelLog", LoadScriptText(L"OSTRELLOG"));
    ASSERT_FALSE(HasFatalFailure());
    Lines once = catalog("OstrelLog");
    EXPECT_EQ(query("OstrelLog", "select name from sys.tables"),
              (Lines{"Answer_Log", "Answer_Log_History", "Ostrel_Log", "Ostrel_Log_History"}));
    run("OstrelLog", LoadScriptText(L"OSTRELLOG"));
    expectSame(once, catalog("OstrelLog"), "log database after the second run");
}

}  // namespace
}  // namespace t7
