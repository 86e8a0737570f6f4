// t7machine's database server commands and the net command, run as the
// programs they are, on a fresh machine folder.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/machine/MachineFolder.h"
#include "platform/posix/PosixCommandRunner.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

class DatabaseToolsTest : public ::testing::Test {
protected:
    Outcome run(const std::string& commandLine) {
        std::string errFile = (m_dir.path() / "stderr").string();
        std::string line =
            "T7SETUP_MACHINE=" + quoted(m_machine.string()) + " " + commandLine + " 2>" + errFile;
        Outcome outcome;
        FILE* pipe = ::popen(line.c_str(), "r");
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.out.append(buffer, n);
        int status = ::pclose(pipe);
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        outcome.err = test::readFileBytes(errFile);
        return outcome;
    }

    Outcome t7machine(const std::string& args) { return run(quoted(T7MACHINE_PATH) + " " + args); }
    // t7machine sql with raw `options`, then `tsql` as one argument.
    Outcome sql(const std::string& options, const std::string& tsql) {
        return t7machine("sql " + quoted(m_machine.string()) + " " + options + " " + quoted(tsql));
    }
    Outcome net(const std::string& args) { return run(quoted(NET_PATH) + " " + args); }
    std::string serviceStatus() { return t7machine("service " + quoted(m_machine.string()) + " status").out; }
    // The port the background listener said it listens on; 0 if none.
    int listenerPort() {
        std::ifstream log(MachineFolder(m_machine).listenerLogFile());
        std::string line;
        int port = 0;
        const std::string prefix = "listening on 127.0.0.1:";
        while (std::getline(log, line))
            if (line.rfind(prefix, 0) == 0) port = std::stoi(line.substr(prefix.size()));
        return port;
    }
    static bool accepts(int port) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(port));
        bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        ::close(fd);
        return connected;
    }

    test::TempDir m_dir;
    std::filesystem::path m_machine = m_dir.path() / "machine";
};

TEST_F(DatabaseToolsTest, InitCreatesDatabasesFromScriptsAndSqlPrintsTheirRows) {
    test::writeFileBytes(
        m_dir.path() / "exam.sql",
        "CREATE TABLE USERINFO (id int IDENTITY(1,1) PRIMARY KEY, name nvarchar(50) NULL)\r\n"
        "GO\r\n"
        "INSERT INTO USERINFO (name) VALUES (N'admin')\r\n"
        " go \r\n"
        "INSERT INTO USERINFO (name) VALUES (NULL)\r\n");
    Outcome init =
        t7machine("init " + quoted(m_machine.string()) + " --sa-password 'Sa#Secret1' --database Empty" +
                  " --database " + quoted("T7=" + (m_dir.path() / "exam.sql").string()));
    ASSERT_EQ(init.status, 0) << init.err;

    Outcome rows = sql("-P 'Sa#Secret1' T7", "SELECT id, name FROM USERINFO ORDER BY id");
    EXPECT_EQ(rows.status, 0) << rows.err;
    EXPECT_EQ(rows.out, "id\tname\n1\tadmin\n2\tNULL\n");

    Outcome names =
        sql("-P 'Sa#Secret1'", "SELECT name FROM sys.databases WHERE name IN ('Empty', 'T7') ORDER BY name");
    EXPECT_EQ(names.out, "name\nEmpty\nT7\n") << names.err;

    // The administrator password given at init is the one that works.
    Outcome refused = sql("", "SELECT 1");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Msg 18456: Login failed for user 'sa'."), std::string::npos) << refused.err;
}

TEST_F(DatabaseToolsTest, ErrorsArePrintedWithTheirNumberAndStopTheScript) {
    ASSERT_EQ(t7machine("init " + quoted(m_machine.string())).status, 0);
    Outcome failed = sql("", "CREATE TABLE a (x int)\nGO\nSELECT * FROM missing\nGO\nCREATE TABLE b (x int)");
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find("Msg 208: Invalid object name 'missing'."), std::string::npos) << failed.err;
    EXPECT_EQ(sql("", "SELECT name FROM sysobjects WHERE name IN ('a', 'b')").out, "name\na\n");

    Outcome weak = sql("", "CREATE LOGIN weak WITH PASSWORD = 'abc'");
    EXPECT_EQ(weak.status, 1);
    EXPECT_NE(weak.err.find("Msg 15118:"), std::string::npos) << weak.err;
}

TEST_F(DatabaseToolsTest, StoppedServiceRefusesUntilNetStartRuns) {
    ASSERT_EQ(t7machine("init " + quoted(m_machine.string()) + " --service-stopped --policy off --tds-port 0")
                  .status,
              0);
    EXPECT_EQ(serviceStatus(), "stopped\n");
    Outcome refused = sql("", "SELECT 1 AS one");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Msg 17: SQL Server does not exist or access denied."), std::string::npos)
        << refused.err;

    EXPECT_EQ(net("start MSSQLSERVER").status, 0);
    EXPECT_EQ(serviceStatus(), "running\n");
    EXPECT_EQ(sql("", "SELECT 1 AS one").out, "one\n1\n");
    // The service is the TDS listener, running in the background.
    int port = listenerPort();
    ASSERT_GT(port, 0);
    EXPECT_TRUE(accepts(port));
    EXPECT_EQ(net("start mssqlserver").status, 2);  // already started
    EXPECT_EQ(net("start nosuchservice").status, 2);

    EXPECT_EQ(net("stop mssqlserver").status, 0);
    EXPECT_EQ(serviceStatus(), "stopped\n");
    EXPECT_FALSE(accepts(port));
    EXPECT_FALSE(std::filesystem::exists(MachineFolder(m_machine).listenerPidFile()));
    EXPECT_EQ(net("stop mssqlserver").status, 2);  // not started
    EXPECT_EQ(t7machine("service " + quoted(m_machine.string()) + " start").out, "running\n");

    // The policy switched off at init lets a weak password through.
    EXPECT_EQ(sql("", "CREATE LOGIN weak WITH PASSWORD = 'abc'").status, 0);
}

TEST_F(DatabaseToolsTest, CommandRunnerStartsNetBesideTheProgram) {
    ASSERT_EQ(t7machine("init " + quoted(m_machine.string()) + " --service-stopped --tds-port 0").status, 0);
    ::setenv("T7SETUP_MACHINE", m_machine.c_str(), 1);
    pid_t pid =
        PosixCommandRunner({std::filesystem::path(NET_PATH).parent_path()}).spawn(L"net start mssqlserver");
    ::unsetenv("T7SETUP_MACHINE");
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(serviceStatus(), "running\n");
    EXPECT_EQ(net("stop mssqlserver").status, 0);
}

TEST_F(DatabaseToolsTest, NetStartFailsWhenThePortIsTaken) {
    int taken = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(taken, 1), 0);
    socklen_t len = sizeof addr;
    ::getsockname(taken, reinterpret_cast<sockaddr*>(&addr), &len);
    std::string port = std::to_string(ntohs(addr.sin_port));
    ASSERT_EQ(
        t7machine("init " + quoted(m_machine.string()) + " --service-stopped --tds-port " + port).status, 0);
    Outcome start = net("start mssqlserver");
    ::close(taken);
    EXPECT_EQ(start.status, 2);
    EXPECT_NE(start.err.find("127.0.0.1:" + port), std::string::npos) << start.err;
    EXPECT_EQ(serviceStatus(), "stopped\n");
}

TEST_F(DatabaseToolsTest, NetOnAMissingMachineFolderChangesNothing) {
    EXPECT_EQ(net("start mssqlserver").status, 2);
    EXPECT_FALSE(std::filesystem::exists(m_machine));
}

}  // namespace
}  // namespace t7
