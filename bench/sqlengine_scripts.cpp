// Runs a schema script of about 70 KB in about 270 batches plus a data
// script on a new database of the embedded server, and the same work sent
// straight to SQLite in one run; prints the median times, their ratio and
// the peak memory of the process.
//
// Both sides use the same file settings (WAL, synchronous=NORMAL). The
// engine runs each script as the database component does, committing once
// at its end with a savepoint per statement, and keeps its catalog, the
// defaults and the foreign keys (as triggers) itself. The direct run creates
// the same tables and indexes with plain DEFAULT and REFERENCES clauses
// (SQLite leaves foreign keys unchecked by default), skips the procedures and
// the trigger, and inserts the same rows behind the same existence tests,
// all in one transaction, dropping each table first as the script does; the
// batch-by-batch run commits each statement on its own. Each side runs on a
// new database file, and the figures are medians of a number of runs.
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "sqlengine/Engine.h"

namespace {

namespace fs = std::filesystem;

struct Scripts {
    std::vector<std::string> schema;  // T-SQL batches
    std::vector<std::string> data;
    std::string sqlite;                      // the same work in SQLite's dialect, one transaction
    std::vector<std::string> sqliteBatches;  // and batch by batch, as the engine commits
    size_t schemaBytes = 0;
};

struct Column {
    std::string name, tsql, sqlite;
};

Scripts generate() {
    Scripts s;
    const int tables = 45;
    std::string sq = "BEGIN;";
    for (int t = 0; t < tables; ++t) {
        std::string name = "Table" + std::to_string(t);
        std::vector<Column> cols;
        cols.push_back({"ID", "[int] IDENTITY (1, 1) NOT NULL", "INTEGER PRIMARY KEY"});
        for (int c = 0; c < 18; ++c) {
            std::string cn = "Field" + std::to_string(c);
            switch (c % 6) {
                case 0:
                    cols.push_back(
                        {cn, "[nvarchar] (50) COLLATE Chinese_PRC_CI_AS NULL", "TEXT COLLATE NOCASE"});
                    break;
                case 1:
                    cols.push_back({cn, c == 1 ? "[int] NOT NULL" : "[int] NULL",
                                    c == 1 ? "INTEGER NOT NULL" : "INTEGER"});
                    break;
                case 2:
                    cols.push_back({cn, "[datetime] NULL", "TEXT"});
                    break;
                case 3:
                    cols.push_back(
                        {cn, "[varchar] (200) COLLATE Chinese_PRC_CI_AS NULL", "TEXT COLLATE NOCASE"});
                    break;
                case 4:
                    cols.push_back({cn, c == 4 ? "[bit] NOT NULL" : "[bit] NULL",
                                    c == 4 ? "INTEGER NOT NULL" : "INTEGER"});
                    break;
                default:
                    cols.push_back({cn, "[decimal](18, 2) NULL", "NUMERIC"});
                    break;
            }
        }
        if (t > 0) cols.push_back({"ParentID", "[int] NULL", "INTEGER"});
        s.schema.push_back("if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[" + name +
                           "]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)\r\ndrop table [dbo].[" + name +
                           "]\r\n");
        std::string create = "CREATE TABLE [dbo].[" + name + "] (\r\n";
        std::string screate = "CREATE TABLE \"" + name + "\" (";
        for (size_t i = 0; i < cols.size(); ++i) {
            create += "\t[" + cols[i].name + "] " + cols[i].tsql + (i + 1 < cols.size() ? " ,\r\n" : " \r\n");
            screate += (i ? ", " : "") + std::string("\"") + cols[i].name + "\" " + cols[i].sqlite;
            if (cols[i].name == "Field1" || cols[i].name == "Field4") screate += " DEFAULT 0";
            if (cols[i].name == "ParentID") screate += " REFERENCES Table0(ID)";
        }
        create += ") ON [PRIMARY]\r\n";
        screate += ");";
        s.schema.push_back(create);
        s.schema.push_back("ALTER TABLE [dbo].[" + name + "] WITH NOCHECK ADD \r\n\tCONSTRAINT [PK_" + name +
                           "] PRIMARY KEY  CLUSTERED \r\n\t(\r\n\t\t[ID]\r\n\t)  ON [PRIMARY] \r\n");
        s.schema.push_back("ALTER TABLE [dbo].[" + name + "] ADD \r\n\tCONSTRAINT [DF_" + name +
                           "_Field1] DEFAULT (0) FOR [Field1],\r\n\tCONSTRAINT [DF_" + name +
                           "_Field4] DEFAULT (0) FOR [Field4]\r\n");
        s.schema.push_back(" CREATE  INDEX [IX_" + name + "_Field0] ON [dbo].[" + name +
                           "]([Field0]) ON [PRIMARY]\r\n");
        s.sqliteBatches.push_back("DROP TABLE IF EXISTS \"" + name + "\"");
        s.sqliteBatches.push_back(screate);
        s.sqliteBatches.push_back("CREATE UNIQUE INDEX \"PK_" + name + "\" ON \"" + name + "\"(ID)");
        s.sqliteBatches.push_back("CREATE INDEX \"IX_" + name + "_Field0\" ON \"" + name + "\"(Field0)");
        sq += "DROP TABLE IF EXISTS \"" + name + "\";" + screate + "CREATE UNIQUE INDEX \"PK_" + name +
              "\" ON \"" + name + "\"(ID);CREATE INDEX \"IX_" + name + "_Field0\" ON \"" + name +
              "\"(Field0);";
        if (t > 0 && t % 3 == 0) {
            s.schema.push_back("ALTER TABLE [dbo].[" + name + "] ADD \r\n\tCONSTRAINT [FK_" + name +
                               "_Table0] FOREIGN KEY \r\n\t(\r\n\t\t[ParentID]\r\n\t) REFERENCES "
                               "[dbo].[Table0] (\r\n\t\t[ID]\r\n\t)\r\n");
        }
    }
    for (int p = 0; p < 12; ++p) {
        std::string t = "Table" + std::to_string(p + 1);
        s.schema.push_back("CREATE PROCEDURE sp_drop_" + std::to_string(p) +
                           "\r\n\t@id int\r\nAS\r\n-- removes one row and its children\r\nDELETE FROM " + t +
                           " WHERE ParentID = @id\r\nDELETE FROM " + t + " WHERE ID = @id\r\n");
        sq += "SELECT 1;";
    }
    s.schema.push_back(
        "CREATE TRIGGER tri_Table1_upd ON Table1 FOR UPDATE AS\r\nIF UPDATE(Field0)\r\n"
        "UPDATE Table1 SET Field1 = 1 WHERE ID IN (SELECT ID FROM inserted)\r\n");
    for (const std::string& b : s.schema) s.schemaBytes += b.size() + 4;
    // Data: default rows, each guarded by an existence test.
    for (int r = 1; r <= 150; ++r) {
        std::string t = "Table" + std::to_string(r % 5);
        std::string v = "N'名称" + std::to_string(r) + "', " + std::to_string(r) + ", '2006-01-0" +
                        std::to_string(r % 9 + 1) + "', 'text " + std::to_string(r) + "', 1, " +
                        std::to_string(r) + ".5";
        s.data.push_back("if not exists (select * from " + t + " where Field0 = N'名称" + std::to_string(r) +
                         "')\r\ninsert into " + t +
                         " (Field0, Field1, Field2, Field3, Field4, Field5) values (" + v + ")");
        std::string sv = v.substr(1);  // SQLite has no N'' literals
        std::string ins =
            "INSERT INTO \"" + t + "\" (Field0, Field1, Field2, Field3, Field4, Field5) SELECT " + sv +
            " WHERE NOT EXISTS (SELECT 1 FROM \"" + t + "\" WHERE Field0 = '名称" + std::to_string(r) + "');";
        sq += ins;
        s.sqliteBatches.push_back(ins);
    }
    sq += "COMMIT;";
    s.sqlite = sq;
    return s;
}

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    Scripts s = generate();
    fs::path root = fs::temp_directory_path() / ("t7bench_scripts_" + std::to_string(::getpid()));
    const int runs = std::max(1, std::getenv("BENCH_RUNS") ? std::atoi(std::getenv("BENCH_RUNS")) : 25);
    std::vector<double> engine, create, direct, directBatches;
    for (int i = 0; i < runs; ++i) {
        fs::remove_all(root);
        auto server = sqlengine::Server::open(root / "sqlserver");
        auto session = server->connect("sa", "");
        auto t0 = std::chrono::steady_clock::now();
        session->executeBatch("CREATE DATABASE T7 ON (NAME = T7, FILENAME = '" +
                              (root / "sqlserver" / "T7.mdf").string() + "')");
        session->useDatabase("T7");
        auto t1 = std::chrono::steady_clock::now();
        // Each script is one call of the database component: one script on
        // the session.
        for (const auto* script : {&s.schema, &s.data}) {
            session->beginScript();
            for (const std::string& b : *script) session->executeBatch(b);
            session->endScript();
        }
        auto t2 = std::chrono::steady_clock::now();
        create.push_back(seconds(t1 - t0));
        engine.push_back(seconds(t2 - t1));
        session.reset();
        server.reset();

        fs::path file = root / "direct.db";
        auto t3 = std::chrono::steady_clock::now();
        sqlite3* db = nullptr;
        sqlite3_open(file.string().c_str(), &db);
        sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
        auto t4 = std::chrono::steady_clock::now();
        char* err = nullptr;
        if (sqlite3_exec(db, s.sqlite.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            std::fprintf(stderr, "direct SQLite run failed: %s\n", err ? err : "?");
            return 1;
        }
        auto t5 = std::chrono::steady_clock::now();
        sqlite3_close(db);
        (void)t3;
        direct.push_back(seconds(t5 - t4));

        fs::path file2 = root / "direct2.db";
        sqlite3_open(file2.string().c_str(), &db);
        sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
        auto t6 = std::chrono::steady_clock::now();
        for (const std::string& b : s.sqliteBatches) {
            if (sqlite3_exec(db, b.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
                std::fprintf(stderr, "direct SQLite batch failed: %s\n", err ? err : "?");
                return 1;
            }
        }
        auto t7 = std::chrono::steady_clock::now();
        sqlite3_close(db);
        directBatches.push_back(seconds(t7 - t6));
    }
    fs::remove_all(root);
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    double e = median(engine), d = median(direct);
    std::printf("schema script: %zu bytes in %zu batches; data script: %zu batches\n", s.schemaBytes,
                s.schema.size(), s.data.size());
    std::printf("engine, schema + data scripts: median %.3f s over %d runs (target < 1 s)\n", e, runs);
    std::printf("engine, CREATE DATABASE with its files: median %.3f s\n", median(create));
    std::printf("same statements straight to SQLite in one run: median %.3f s\n", d);
    double db = median(directBatches);
    std::printf("same statements straight to SQLite, one commit per batch: median %.3f s\n", db);
    std::printf(
        "ratio engine / SQLite in one run: %.2f; engine / SQLite batch by batch: %.2f (target <= 2)\n", e / d,
        e / db);
    std::printf("peak memory (max RSS): %.1f MB (target < 50 MB)\n",
                static_cast<double>(ru.ru_maxrss) / 1024.0);
    return 0;
}
