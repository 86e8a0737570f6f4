// Several processes share one server folder, each creating, using and
// dropping databases, some under the same names; afterwards the master
// catalog and the files on disk must agree.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "sqlengine/Engine.h"
#include "sqlengine/EngineFixture.h"

namespace {

using namespace enginetest;
using Clock = std::chrono::steady_clock;

constexpr int kProcesses = 4;
constexpr int kRounds = 60;
constexpr auto kTimeLimit = std::chrono::seconds(12);

// Errors another process's work may rightly cause: the database exists
// already or no longer, is in use, or a table was made by someone else.
bool expectedRace(int number) {
    for (int n : {1801, 911, 3701, 3702, 2714})
        if (number == n) return true;
    return false;
}

// One process's work; the number of unexpected failures is its exit code.
int worker(const fs::path& serverFolder, int index, Clock::time_point deadline) {
    int failures = 0;
    try {
        auto server = Server::open(serverFolder);
        auto session = server->connect("sa", "");
        int rounds = 0;
        for (int round = 0; round < kRounds && Clock::now() < deadline; ++round, ++rounds) {
            std::string name =
                round % 2 ? "Shared" + std::to_string(round % 3) : "Own" + std::to_string(index);
            auto step = [&](const std::string& database, const std::string& sql) {
                try {
                    session->useDatabase(database);
                    session->executeBatch(sql);
                } catch (const SqlError& e) {
                    if (!expectedRace(e.number())) {
                        std::fprintf(stderr, "process %d, %s: Msg %d: %s\n", index, sql.c_str(), e.number(),
                                     e.message().c_str());
                        ++failures;
                    }
                }
            };
            step("master", "CREATE DATABASE [" + name + "]");
            step(name, "IF OBJECT_ID('t') IS NULL CREATE TABLE t(a int); INSERT t VALUES (" +
                           std::to_string(round) + "); SELECT count(*) FROM t");
            step("master", "DROP DATABASE [" + name + "]");
        }
        std::fprintf(stderr, "process %d: %d rounds\n", index, rounds);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "process %d: %s\n", index, e.what());
        ++failures;
    }
    return failures > 100 ? 100 : failures;
}

TEST(ProcessConcurrencyTest, CatalogAndFilesStayInStep) {
    fs::path dir = freshFolder("process_concurrency");
    fs::path serverFolder = dir / "sqlserver";
    // master exists before the processes start; no connection is open
    // across fork().
    Server::open(serverFolder).reset();
    Clock::time_point deadline = Clock::now() + kTimeLimit;
    std::vector<pid_t> children;
    for (int i = 0; i < kProcesses; ++i) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) ::_exit(worker(serverFolder, i, deadline));
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "unexpected errors in process " << pid << " (see its output)";
    }
    EXPECT_LT(Clock::now(), deadline + std::chrono::seconds(30)) << "the processes overran their time";

    // Every database in the catalog has its files and opens; every file
    // in the data folder belongs to a database in the catalog.
    auto server = Server::open(serverFolder);
    auto session = server->connect("sa", "");
    std::set<std::string> registered;
    sqlengine::BatchResult catalog = session->executeBatch("SELECT name, filename FROM sysdatabases");
    for (const auto& row : catalog.resultSets.at(0).rows) {
        if (*row[0] == "master") continue;
        registered.insert(fs::path(*row[1]).filename().string());
        EXPECT_TRUE(fs::exists(*row[1])) << *row[0] << " is in the catalog without its file";
        EXPECT_NO_THROW(session->useDatabase(*row[0])) << *row[0];
        session->useDatabase("master");
    }
    for (const auto& entry : fs::directory_iterator(serverFolder / "data")) {
        std::string file = entry.path().filename().string();
        std::string owner = file;
        if (file.size() > 8 && file.ends_with("_log.ldf")) owner = file.substr(0, file.size() - 8) + ".mdf";
        EXPECT_TRUE(registered.count(owner)) << file << " is on disk but no database in the catalog has it";
    }
    session.reset();
    server.reset();
    fs::remove_all(dir);
}

}  // namespace
