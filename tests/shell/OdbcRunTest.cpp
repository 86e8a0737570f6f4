// A whole silent run of t7setup over ODBC (unixODBC, FreeTDS, t7machine
// serve) leaves the same catalog as the run on the embedded server in
// process.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/Text.h"
#include "support/MachineTool.h"
#include "support/TdsListener.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

class OdbcRunTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::filesystem::path bin =
        std::getenv("T7_BINARY_DIR")
            ? std::filesystem::path(std::getenv("T7_BINARY_DIR"))
            : std::filesystem::canonical("/proc/self/exe").parent_path().parent_path();

    // A machine as the product's installer leaves it, and an installation
    // folder with its web.config on the machine's drive D:, where the
    // database server may keep its files.
    std::filesystem::path prepare(const std::string& name) {
        const std::filesystem::path root = dir.path() / name;
        const test::ToolResult made = test::runMachineTool(
            {"init", (root / "machine").string(), "--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd"});
        EXPECT_EQ(made.status, 0) << made.output;
        test::writeFileBytes(
            root / "machine" / "drive_d" / "Exam" / "WebRoot" / "web.config",
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<configuration>\n  <connectionStrings>\n"
            "    <add name=\"Ostrel\" connectionString=\"server=(local);uid=sa;pwd=;database=T7\" />\n"
            "  </connectionStrings>\n</configuration>\n");
        return root;
    }

    // t7setup's exit status for the demo answers on `root`, with
    // `environment` (shell assignments) added.
    int run(const std::filesystem::path& root, const std::string& environment) {
        const std::string command =
            "cd '" + root.string() +
            "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM T7SETUP_MACHINE='" +
            (root / "machine").string() + "' " + environment + " '" + (bin / "shell/t7setup").string() +
            "' t7 '" + (root / "machine" / "drive_d" / "Exam").string() + "' /s /f1'" + T7_SOURCE_DIR +
            "/scripts/demo-answers.txt' /f2setup.log </dev/null >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // What the wizard leaves on the server: databases, logins, the objects
    // of both databases and the administrator's row without its time.
    std::string catalog(const std::filesystem::path& root) {
        std::string out;
        auto sql = [&](const std::string& database, const std::string& query) {
            std::vector<std::string> args{"sql", (root / "machine").string(), "-U", "sa", "-P", "Sa2026pwd"};
            if (!database.empty()) args.push_back(database);
            args.push_back(query);
            const test::ToolResult r = test::runMachineTool(args);
            out += query + "\n" + r.output + "\n";
        };
        sql("", "SELECT name FROM sys.databases ORDER BY name");
        sql("", "SELECT name FROM sys.server_principals ORDER BY name");
        for (const char* db : {"T7", "OstrelLOG"}) {
            sql(db, "SELECT name, type FROM sys.objects ORDER BY name");
            sql(db, "SELECT name FROM sys.database_principals ORDER BY name");
        }
        sql("T7", "SELECT USERID, NAME, Password, PWD, ROLE, UserCode, CHINESENAME FROM USERINFO");
        return out;
    }
};

TEST_F(OdbcRunTest, ASilentRunOverOdbcEndsWithZeroAndLeavesTheInProcessCatalog) {
    const std::filesystem::path inProcess = prepare("engine");
    ASSERT_EQ(run(inProcess, "T7SETUP_DATABASE=engine"), 0) << test::readFileBytes(inProcess / "setup.log");

    const std::filesystem::path overOdbc = prepare("odbc");
    {
        test::TdsListener listener(overOdbc / "machine");
        ASSERT_EQ(
            run(overOdbc, "T7SETUP_DATABASE=odbc T7SETUP_ODBC='" + toUtf8(listener.odbcAttributes()) + "'"),
            0)
            << test::readFileBytes(overOdbc / "setup.log");
    }
    const std::string expected = catalog(inProcess);
    EXPECT_NE(expected.find("admin"), std::string::npos) << expected;
    EXPECT_EQ(catalog(overOdbc), expected);
}

TEST_F(OdbcRunTest, AnUnknownDatabaseChoiceIsRefusedBeforeAnythingRuns) {
    const std::filesystem::path root = prepare("other");
    EXPECT_EQ(run(root, "T7SETUP_DATABASE=oracle"), 1);
    EXPECT_FALSE(std::filesystem::exists(root / "setup.log"));
}

}  // namespace
}  // namespace t7
