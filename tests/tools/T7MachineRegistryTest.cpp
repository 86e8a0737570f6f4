// t7machine's registry commands, run as the operator runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "platform/machine/MachineFileSystem.h"
#include "platform/machine/MachineRegistryHive.h"
#include "settings/CRegistry.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

struct ToolRun {
    int status;
    std::string out;
};

class T7MachineRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        tool = T7MACHINE_PATH;
        ASSERT_TRUE(std::filesystem::exists(tool)) << tool;
    }

    // Arguments are passed in single quotes; none of the tests' contain one.
    ToolRun run(const std::string& args) {
        ToolRun result{-1, {}};
        FILE* pipe = ::popen((tool + " " + args + " 2>&1").c_str(), "r");
        if (!pipe) return result;
        char buffer[256];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) result.out.append(buffer, n);
        int status = ::pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }

    std::string quoted(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

    std::string tool;
    test::TempDir dir;
    std::filesystem::path machineDir = dir.path() / "machine";
};

TEST_F(T7MachineRegistryTest, InitThenAWrittenValueShowsInRegAndTheFile) {
    ASSERT_EQ(run("init " + quoted(machineDir) + " --sql-pwd 'sa pw'").status, 0);
    const MachineFolder machine(machineDir);
    const std::string bytes = test::readFileBytes(machine.registryFile());
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFEW\0", 4)) << "UTF-16LE with a byte order mark";

    MachineRegistryHive hive(machine);
    MachineFileSystem fileSystem(machine);
    CRegistry registry(hive, fileSystem);
    EXPECT_TRUE(registry.IsHaveIIS());
    EXPECT_EQ(registry.GetKeyValue(L"Ostrel", L"Install", L"sqlPwd", RegistryRoot::LocalMachine), L"sa pw");
    registry.SetKeyValue(L"Ostrel", L"Install", L"WebURL", L"http://192.168.1.10/t7",
                         RegistryRoot::LocalMachine);
    registry.SetKeyValue(L"Ostrel", L"DB", L"DBUser", std::wstring(L"考\0\x1f", 3),
                         RegistryRoot::LocalMachine);

    ToolRun reg = run("reg " + quoted(machineDir));
    EXPECT_EQ(reg.status, 0);
    EXPECT_EQ(reg.out,
              "HKEY_LOCAL_MACHINE\\Software\\Ostrel\\DB\\DBUser=考\\x00\\x1F\n"
              "HKEY_LOCAL_MACHINE\\Software\\Ostrel\\Install\\sqlPwd=sa pw\n"
              "HKEY_LOCAL_MACHINE\\Software\\Ostrel\\Install\\WebURL=http://192.168.1.10/t7\n");

    // Running init again keeps what is there.
    ASSERT_EQ(run("init " + quoted(machineDir) + " --no-iis").status, 0);
    EXPECT_EQ(run("reg " + quoted(machineDir)).out, reg.out);
    EXPECT_TRUE(registry.IsHaveIIS());
}

TEST_F(T7MachineRegistryTest, NoIisLeavesTheWebServerOut) {
    ASSERT_EQ(run("init " + quoted(machineDir) + " --no-iis").status, 0);
    const MachineFolder machine(machineDir);
    MachineRegistryHive hive(machine);
    MachineFileSystem fileSystem(machine);
    EXPECT_FALSE(CRegistry(hive, fileSystem).IsHaveIIS());
    EXPECT_FALSE(std::filesystem::exists(machine.inetsrvFolder()));
    EXPECT_EQ(run("reg " + quoted(machineDir)).out, "");
}

TEST_F(T7MachineRegistryTest, AnUnreadableRegistryIsReportedAndKept) {
    const MachineFolder machine(machineDir);
    test::writeFileBytes(machine.registryFile(), "junk");
    ToolRun reg = run("reg " + quoted(machineDir));
    EXPECT_EQ(reg.status, 1);
    EXPECT_NE(reg.out.find("not a registry export"), std::string::npos) << reg.out;
    EXPECT_EQ(run("init " + quoted(machineDir) + " --sql-pwd x").status, 1);
    EXPECT_EQ(test::readFileBytes(machine.registryFile()), "junk");
}

}  // namespace
}  // namespace t7
