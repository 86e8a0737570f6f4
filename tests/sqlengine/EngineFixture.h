#pragma once
// A fresh server folder per test with a database "T7" in use, and helpers
// that run a batch and give its rows or its error number.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sqlengine/Engine.h"

namespace enginetest {

namespace fs = std::filesystem;
using sqlengine::Server;
using sqlengine::Session;
using sqlengine::SqlError;
using Rows = std::vector<std::string>;

inline fs::path freshFolder(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / ("t7engine_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(dir);
    return dir;
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name)
            if (c == '/') c = '_';
        m_dir = freshFolder(name);
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
    Rows rows(const std::string& sql) {
        auto r = run(sql);
        Rows out;
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

}  // namespace enginetest
