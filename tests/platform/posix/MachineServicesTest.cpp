#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/machine/MachineFolder.h"
#include "settings/CRegistry.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

// The platform's registry and file system are those of $T7SETUP_MACHINE.
TEST(MachineServicesTest, PlatformServicesUseTheMachineFolderOfTheEnvironment) {
    test::TempDir dir;
    const char* previous = std::getenv("T7SETUP_MACHINE");
    const std::string saved = previous ? previous : "";
    ::setenv("T7SETUP_MACHINE", dir.path().c_str(), 1);
    auto hive = makeRegistryHive();
    auto fileSystem = makeFileSystem();
    if (previous) {
        ::setenv("T7SETUP_MACHINE", saved.c_str(), 1);
    } else {
        ::unsetenv("T7SETUP_MACHINE");
    }

    CRegistry registry(*hive, *fileSystem);
    registry.SetKeyValue(L"Ostrel", L"Install", L"WebURL", L"http://h/t7", RegistryRoot::LocalMachine);
    EXPECT_TRUE(std::filesystem::exists(MachineFolder(dir.path()).registryFile()));
    std::filesystem::create_directories(dir.path() / "drive_d" / "Exam");
    EXPECT_TRUE(fileSystem->folderExists(L"D:\\exam"));
}

}  // namespace
}  // namespace t7
