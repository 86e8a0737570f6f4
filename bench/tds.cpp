// The TDS listener measured with a real client, the FreeTDS ODBC driver:
//  - round trips per second of "select 1" over one connection;
//  - the wizard's schema and data scripts (T7SQL, T7DATA) through ODBC as
//    the ODBC database component runs them (each script one transaction),
//    against the same scripts run in-process as the embedded server's
//    component runs them (each script committed at its end); and, for
//    comparison, batch by batch with each batch committed, both ways;
//  - statements per second of 50 connections at once, each inserting rows
//    and reading them back by key.
// The listener runs in this process on a free loopback port.
#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/Text.h"
#include "database/BatchSplitter.h"
#include "platform/odbc/OdbcDatabaseComponent.h"
#include "sqlengine/Engine.h"
#include "sqlengine/tds/posix/Listener.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Processor time of the whole process, every thread: the client's and the
// listener's work alike.
double processorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The fastest of several rounds: other work on the machine only ever adds
// time, and a request that crosses two threads pays for it twice.
double best(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

std::wstring scriptText(const char* name) {
    std::ifstream in(fs::path(T7_SOURCE_DIR) / "resources" / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return t7::fromUtf8(text.str());
}

std::vector<std::string> scriptBatches(const std::wstring& script) {
    std::vector<std::string> batches;
    for (const std::wstring& b : t7::splitBatches(script)) batches.push_back(t7::toUtf8(b));
    return batches;
}

std::string driver() {
    for (const char* p :
         {"/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so", "/usr/lib/aarch64-linux-gnu/odbc/libtdsodbc.so"})
        if (fs::exists(p)) return p;
    return "FreeTDS";
}

class Odbc {
public:
    Odbc(uint16_t port, const std::string& database) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env);
        SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc);
        std::string cs = "DRIVER={" + driver() + "};SERVER=127.0.0.1;PORT=" + std::to_string(port) +
                         ";UID=sa;PWD=;TDS_Version=7.4;ClientCharset=UTF-8;DATABASE=" + database;
        check(SQLDriverConnect(m_dbc, nullptr, reinterpret_cast<SQLCHAR*>(cs.data()), SQL_NTS, nullptr, 0,
                               nullptr, SQL_DRIVER_NOPROMPT),
              SQL_HANDLE_DBC, m_dbc);
        SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &m_stmt);
    }
    ~Odbc() {
        SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
        SQLDisconnect(m_dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
    }
    // Runs `sql` and reads every result; returns the rows read.
    long run(const std::string& sql) {
        SQLRETURN rc =
            SQLExecDirect(m_stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
        if (rc != SQL_NO_DATA) check(rc, SQL_HANDLE_STMT, m_stmt);
        long rows = 0;
        do {
            SQLSMALLINT columns = 0;
            SQLNumResultCols(m_stmt, &columns);
            while (columns > 0 && SQL_SUCCEEDED(SQLFetch(m_stmt))) ++rows;
        } while (SQL_SUCCEEDED(SQLMoreResults(m_stmt)));
        SQLFreeStmt(m_stmt, SQL_CLOSE);
        return rows;
    }

private:
    SQLHENV m_env = SQL_NULL_HENV;
    SQLHDBC m_dbc = SQL_NULL_HDBC;
    SQLHSTMT m_stmt = SQL_NULL_HSTMT;

    static void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h) {
        if (SQL_SUCCEEDED(rc)) return;
        SQLCHAR state[6] = {0}, text[512] = {0};
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        SQLGetDiagRec(type, h, 1, state, &native, text, sizeof text, &len);
        throw std::runtime_error(std::string(reinterpret_cast<char*>(text)));
    }
};

}  // namespace

int main() {
    fs::path folder = fs::temp_directory_path() / ("t7-bench-tds-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    auto server = sqlengine::Server::open(folder);
    sqlengine::tds::ListenerOptions options;
    options.port = 0;
    sqlengine::tds::Listener listener(*server, options);
    listener.bind();
    std::thread serving([&] { listener.run(); });
    uint16_t port = listener.port();
    int status = 0;
    try {
        {
            Odbc one(port, "master");
            auto start = Clock::now();
            long trips = 0;
            while (seconds(start) < 2.0) {
                one.run("select 1");
                ++trips;
            }
            std::printf("select 1 over one connection: %.0f round trips/s (target >= 5000)\n",
                        trips / seconds(start));
        }

        const std::wstring schemaText = scriptText("T7SQL.sql"), dataText = scriptText("T7DATA.sql");
        std::vector<std::string> schema = scriptBatches(schemaText), data = scriptBatches(dataText);

        auto admin = server->connect("sa", "");
        t7::OdbcApplication component(t7::OdbcDatabaseOptions{
            .machineName = L"BENCH",
            .extraAttributes = L"Driver={" + t7::fromUtf8(driver()) + L"};TDS_Version=7.4"});
        // Five rounds, each on new databases, the four ways in turn.
        std::vector<double> inProcess, byBatch, overTds, byComponent;
        std::vector<double> inProcessCpu, byBatchCpu, overTdsCpu, byComponentCpu;
        for (int round = 0; round < 5; ++round) {
            std::string suffix = std::to_string(round);
            admin->useDatabase("master");
            admin->executeBatch("CREATE DATABASE InProcess" + suffix);
            admin->executeBatch("CREATE DATABASE ByBatch" + suffix);
            admin->executeBatch("CREATE DATABASE OverTds" + suffix);
            admin->executeBatch("CREATE DATABASE Component" + suffix);
            admin->useDatabase("InProcess" + suffix);
            auto start = Clock::now();
            double cpu = processorSeconds();
            for (const auto* script : {&schema, &data}) {
                admin->beginScript();
                for (const std::string& b : *script) admin->executeBatch(b);
                admin->endScript();
            }
            inProcess.push_back(seconds(start));
            inProcessCpu.push_back(processorSeconds() - cpu);
            admin->useDatabase("ByBatch" + suffix);
            start = Clock::now();
            cpu = processorSeconds();
            for (const auto* script : {&schema, &data})
                for (const std::string& b : *script) admin->executeBatch(b);
            byBatch.push_back(seconds(start));
            byBatchCpu.push_back(processorSeconds() - cpu);
            // The client connects, as the database component does, before its scripts.
            Odbc tds(port, "OverTds" + suffix);
            start = Clock::now();
            cpu = processorSeconds();
            for (const auto* script : {&schema, &data})
                for (const std::string& b : *script) tds.run(b);
            overTds.push_back(seconds(start));
            overTdsCpu.push_back(processorSeconds() - cpu);
            // The wizard's way over ODBC: the database component, connected
            // before its scripts, hands each script whole to the database.
            auto sqlServer = component.NewSQLServer();
            sqlServer->Connect(L"127.0.0.1," + std::to_wstring(port), L"sa", L"");
            auto database = sqlServer->Databases()->Item(L"Component" + t7::fromUtf8(suffix));
            start = Clock::now();
            cpu = processorSeconds();
            for (const std::wstring* script : {&schemaText, &dataText}) database->ExecuteImmediate(*script);
            byComponent.push_back(seconds(start));
            byComponentCpu.push_back(processorSeconds() - cpu);
        }
        double script = best(inProcess), batches = best(byBatch), odbc = best(overTds),
               wizard = best(byComponent);
        std::printf(
            "schema and data scripts (%zu batches, best of 5) as the database components run them, each "
            "script one transaction: in-process %.3f s, through ODBC %.3f s: %.2fx (target <= 2x)\n",
            schema.size() + data.size(), script, wizard, wizard / script);
        std::printf("  batch by batch, each batch committed: in-process %.3f s, through ODBC %.3f s: %.2fx\n",
                    batches, odbc, odbc / batches);
        std::printf(
            "  processor time (all threads): in-process %.3f s as scripts, %.3f s batch by batch; "
            "through ODBC %.3f s as scripts, %.3f s batch by batch\n",
            best(inProcessCpu), best(byBatchCpu), best(byComponentCpu), best(overTdsCpu));

        admin->useDatabase("master");
        admin->executeBatch("CREATE DATABASE Load");
        admin->useDatabase("Load");
        admin->executeBatch("CREATE TABLE Answers (client int, n int, mark int, PRIMARY KEY (client, n))");
        const int clients = 50;
        std::atomic<long> statements{0};
        std::atomic<bool> failed{false};
        auto start = Clock::now();
        std::vector<std::thread> threads;
        for (int k = 0; k < clients; ++k) {
            threads.emplace_back([&, k] {
                try {
                    Odbc c(port, "Load");
                    for (int n = 0; seconds(start) < 3.0; ++n) {
                        c.run("insert into Answers values (" + std::to_string(k) + ", " + std::to_string(n) +
                              ", " + std::to_string(n % 100) + ")");
                        c.run("select mark from Answers where client = " + std::to_string(k) +
                              " and n = " + std::to_string(n));
                        statements += 2;
                    }
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "client %d: %s\n", k, e.what());
                    failed = true;
                }
            });
        }
        for (auto& t : threads) t.join();
        std::printf("%d connections at once: %.0f statements/s (half inserts, half reads by key)\n", clients,
                    statements / seconds(start));
        if (failed) status = 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_tds: %s\n", e.what());
        status = 1;
    }
    listener.stop();
    serving.join();
    fs::remove_all(folder);
    return status;
}
