#include <gtest/gtest.h>

#include <filesystem>

#include "base/AppError.h"
#include "platform/machine/MachineFileSystem.h"
#include "platform/machine/MachineRegistryHive.h"
#include "settings/CRegistry.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

constexpr RegistryRoot HKLM = RegistryRoot::LocalMachine;

class CRegistryTest : public ::testing::Test {
protected:
    test::TempDir dir;
    MachineFolder machine{dir.path()};
    MachineRegistryHive hive{machine};
    MachineFileSystem fileSystem{machine};
    CRegistry registry{hive, fileSystem};

    bool keyExists(RegistryRoot root, const std::string& path) {
        RegKeyHandle key = 0;
        if (hive.openKey(rootHandle(root), path, key) != reg::Success) return false;
        hive.closeKey(key);
        return true;
    }
};

TEST_F(CRegistryTest, ReadingGivesFailTextsForMissingKeyOrValue) {
    EXPECT_EQ(registry.GetKeyValue(L"Ostrel", L"Install", L"sqlPwd", HKLM), L"fail to open key");
    EXPECT_EQ(registry.SetKeyValue(L"Ostrel", L"Install", L"WebURL", L"http://h/t7", HKLM), L"");
    EXPECT_EQ(registry.GetKeyValue(L"Ostrel", L"Install", L"sqlPwd", HKLM), L"fail to get value");
    EXPECT_EQ(registry.GetKeyValue(L"Ostrel", L"DB", L"sqlPwd", HKLM), L"fail to open key");
    EXPECT_EQ(registry.GetKeyValue(L"Ostrel", L"Install", L"WebURL", RegistryRoot::ClassesRoot),
              L"fail to open key");
}

TEST_F(CRegistryTest, WritingCreatesTheKeysAndASecondSectionReusesThem) {
    ASSERT_FALSE(keyExists(HKLM, "Software\\Ostrel"));
    registry.SetKeyValue(L"Ostrel", L"Install", L"IfOldData", L"0", HKLM);
    EXPECT_TRUE(keyExists(HKLM, "Software\\Ostrel\\Install"));
    registry.SetKeyValue(L"Ostrel", L"DB", L"SystemDBName", L"T7", HKLM);
    EXPECT_EQ(registry.GetKeyValue(L"Ostrel", L"Install", L"IfOldData", HKLM), L"0");
    EXPECT_EQ(registry.GetKeyValue(L"Ostrel", L"DB", L"SystemDBName", HKLM), L"T7");
    // Reading goes through the file: a second store over the same folder sees the values.
    MachineRegistryHive other(machine);
    CRegistry second(other, fileSystem);
    EXPECT_EQ(second.GetKeyValue(L"ostrel", L"db", L"systemdbname", HKLM), L"T7");
}

// Every text comes back exactly as written: nothing lost, no NUL added.
class CRegistryRoundTrip : public CRegistryTest, public ::testing::WithParamInterface<std::wstring> {};

TEST_P(CRegistryRoundTrip, ValueReadsBackExactly) {
    registry.SetKeyValue(L"Ostrel", L"DB", L"DBUser", GetParam(), HKLM);
    EXPECT_EQ(registry.GetKeyValue(L"Ostrel", L"DB", L"DBUser", HKLM), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Texts, CRegistryRoundTrip,
                         ::testing::Values(std::wstring(L""), std::wstring(L"http://192.168.1.10:8080/t7"),
                                           std::wstring(L"Vessa考试系统 管理员"),
                                           std::wstring(L"a\0b\0", 4),  // scrambled values may hold NUL
                                           std::wstring(L"\0", 1), std::wstring(L"quote\" back\\slash\r\n\t"),
                                           std::wstring(L"fail to open key")));

TEST_F(CRegistryTest, CharactersWithoutAnAnsiCodeBecomeQuestionMarks) {
    // Thai and Korean letters have no code in code page 936.
    registry.SetKeyValue(L"Ostrel", L"Install", L"WebURL", L"x\u0e01\ud55c中", HKLM);
    EXPECT_EQ(registry.GetKeyValue(L"Ostrel", L"Install", L"WebURL", HKLM), L"x??中");
}

TEST_F(CRegistryTest, ValueOfAnotherTypeIsReadAsItsBytes) {
    RegKeyHandle key = 0;
    ASSERT_EQ(hive.createKey(rootHandle(HKLM), "Software\\Ostrel\\Install", key), reg::Success);
    const uint8_t bytes[] = {'4', '2'};
    hive.setValue(key, "n", reg::Binary, bytes, 2);
    hive.closeKey(key);
    EXPECT_EQ(registry.GetKeyValue(L"Ostrel", L"Install", L"n", HKLM), L"42");
}

// A hive that cannot be read is never taken for an empty one: writes and
// the web server check raise, and the file stays as it was.
TEST_F(CRegistryTest, UnreadableHiveFailsReadsAndRaisesOnWrites) {
    const std::string junk = "not a registry export\r\n";
    test::writeFileBytes(machine.registryFile(), junk);
    EXPECT_EQ(registry.GetKeyValue(L"Ostrel", L"Install", L"sqlPwd", HKLM), L"fail to open key");
    try {
        registry.SetKeyValue(L"Ostrel", L"Install", L"WebURL", L"x", HKLM);
        ADD_FAILURE() << "no error for a registry that cannot be read";
    } catch (const RegistryError& e) {
        EXPECT_EQ(e.number(), reg::BadDatabase);
    }
    EXPECT_THROW(registry.IsHaveIIS(), RegistryError);
    EXPECT_EQ(test::readFileBytes(machine.registryFile()), junk);
}

struct IisCase {
    bool key;
    bool folder;
};

class IsHaveIISTest : public CRegistryTest, public ::testing::WithParamInterface<IisCase> {};

TEST_P(IsHaveIISTest, NeedsBothTheKeyAndTheInetsrvFolder) {
    if (GetParam().key) {
        RegKeyHandle key = 0;
        ASSERT_EQ(hive.createKey(rootHandle(RegistryRoot::ClassesRoot), "IIS", key), reg::Success);
        hive.closeKey(key);
    }
    // The folder's case differs from the system directory's text, as on a real server.
    std::filesystem::create_directories(dir.path() / "Windows" / "System32");
    if (GetParam().folder) std::filesystem::create_directories(machine.inetsrvFolder());
    // A file of that name is no folder.
    if (!GetParam().folder) test::writeFileBytes(machine.inetsrvFolder(), "x");
    EXPECT_EQ(registry.IsHaveIIS(), GetParam().key && GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(Grid, IsHaveIISTest,
                         ::testing::Values(IisCase{false, false}, IisCase{true, false}, IisCase{false, true},
                                           IisCase{true, true}));

// A system directory with blanks around it and text after its terminator.
class PaddedSystemDirectory : public MachineFileSystem {
public:
    using MachineFileSystem::MachineFileSystem;
    std::wstring systemDirectory() const override {
        return std::wstring(L"  C:\\WINDOWS\\system32 \0junk", 27);
    }
};

class RaisingFolderTest : public MachineFileSystem {
public:
    using MachineFileSystem::MachineFileSystem;
    bool folderExists(const std::wstring&) const override { throw AppError(424, L"Object required"); }
};

TEST_F(CRegistryTest, SystemDirectoryIsTrimmedAndFolderTestErrorsPropagate) {
    RegKeyHandle key = 0;
    ASSERT_EQ(hive.createKey(rootHandle(RegistryRoot::ClassesRoot), "IIS", key), reg::Success);
    hive.closeKey(key);
    std::filesystem::create_directories(machine.inetsrvFolder());
    PaddedSystemDirectory padded(machine);
    EXPECT_TRUE(CRegistry(hive, padded).IsHaveIIS());

    RaisingFolderTest raising(machine);
    CRegistry failing(hive, raising);
    try {
        failing.IsHaveIIS();
        FAIL() << "the folder test's error was swallowed";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), 424);
    }
}

}  // namespace
}  // namespace t7
