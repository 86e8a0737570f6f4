#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sqlengine/Engine.h"

namespace {

namespace fs = std::filesystem;
using sqlengine::Server;
using sqlengine::Session;
using sqlengine::SqlError;

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("t7engine_" + std::to_string(::getpid()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        m_server = Server::open(m_dir / "sqlserver");
        m_session = m_server->connect("sa", "");
        m_session->executeBatch("CREATE DATABASE T7");
        m_session->useDatabase("T7");
    }
    void TearDown() override {
        m_session.reset();
        m_server.reset();
        fs::remove_all(m_dir);
    }
    sqlengine::BatchResult run(const std::string& sql) { return m_session->executeBatch(sql); }
    // The rows of the last result set, cells joined by '|', NULL as "NULL".
    std::vector<std::string> rows(const std::string& sql) {
        auto r = run(sql);
        std::vector<std::string> out;
        if (r.resultSets.empty()) return out;
        for (const auto& row : r.resultSets.back().rows) {
            std::string line;
            for (size_t i = 0; i < row.size(); ++i) line += (i ? "|" : "") + (row[i] ? *row[i] : "NULL");
            out.push_back(line);
        }
        return out;
    }
    int errorOf(const std::string& sql) {
        try {
            run(sql);
        } catch (const SqlError& e) {
            m_lastMessage = e.message();
            return e.number();
        }
        return 0;
    }
    fs::path m_dir;
    std::unique_ptr<Server> m_server;
    std::unique_ptr<Session> m_session;
    std::string m_lastMessage;
};

TEST_F(EngineTest, IdentityValuesFollowSeedAndStep) {
    run("CREATE TABLE t (id int IDENTITY(10, 5) NOT NULL PRIMARY KEY, name nvarchar(20))");
    run("INSERT INTO t(name) VALUES ('a'), ('b'); INSERT t (name) SELECT 'c'");
    EXPECT_EQ(rows("SELECT id, name FROM t ORDER BY id"), (std::vector<std::string>{"10|a", "15|b", "20|c"}));
    EXPECT_EQ(rows("SELECT @@IDENTITY"), std::vector<std::string>{"20"});
}

}  // namespace
