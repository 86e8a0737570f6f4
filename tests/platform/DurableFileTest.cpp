// The files the wizard rewrites (registry.reg, applicationHost.config,
// web.config) all go through writeFileDurably: each keeps its permissions,
// owner and links, and one the process may not write is left alone.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "base/AppError.h"
#include "base/DurableFile.h"
#include "database/WebConfig.h"
#include "platform/machine/ApplicationHostConfig.h"
#include "platform/machine/MachineFileSystem.h"
#include "platform/machine/MachineRegistryHive.h"
#include "platform/machine/RegFile.h"
#include "settings/RegistryHive.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

namespace fs = std::filesystem;
using test::readFileBytes;
using test::writeFileBytes;

// One of the wizard's writers: where its file lies in a machine folder,
// the contents it starts from, and one rewrite through the writer itself.
struct Writer {
    const char* name;
    fs::path (*file)(const MachineFolder&);
    std::string (*initial)();
    // True when the writer reports success.
    bool (*rewrite)(const MachineFolder&);
};

const Writer kWriters[] = {
    {"registry", [](const MachineFolder& m) { return m.registryFile(); },
     [] { return regfile::Document().format(); },
     [](const MachineFolder& m) {
         MachineRegistryHive hive(m);
         RegKeyHandle key = 0;
         if (hive.createKey(rootHandle(RegistryRoot::LocalMachine), "Software\\Ostrel", key) != reg::Success)
             return false;
         const std::string data = "http://h/t7";
         const bool ok = hive.setValue(key, "WebURL", reg::Sz, reinterpret_cast<const uint8_t*>(data.c_str()),
                                       static_cast<uint32_t>(data.size() + 1)) == reg::Success;
         hive.closeKey(key);
         return ok;
     }},
    {"applicationHost", [](const MachineFolder& m) { return m.applicationHostConfig(); },
     [] {
         return std::string(
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n"
             "<system.applicationHost><sites /></system.applicationHost>\n</configuration>\n");
     },
     [](const MachineFolder& m) {
         try {
             ApplicationHostConfig config = ApplicationHostConfig::load(m.applicationHostConfig());
             config.addSite(L"Default Web Site", L"*:80:", L"C:\\inetpub\\wwwroot");
             config.save(m.applicationHostConfig());
             return true;
         } catch (const AppError&) {
             return false;
         }
     }},
    {"webConfig",
     [](const MachineFolder& m) { return m.driveFolder('d') / "Exam" / "Webroot" / "web.config"; },
     [] {
         return std::string(
             "<?xml version=\"1.0\"?>\n<configuration><connectionStrings>"
             "<add name=\"Ostrel\" connectionString=\"\" />"
             "</connectionStrings></configuration>\n");
     },
     [](const MachineFolder& m) {
         MachineFileSystem files(m);
         try {
             updateConnectionString(files, L"D:\\Exam", L"S", L"u", L"p", L"Exam");
             return true;
         } catch (const AppError&) {
             return false;
         }
     }},
};

class DurableWriteTest : public ::testing::TestWithParam<Writer> {
protected:
    void SetUp() override {
        fs::create_directories(file().parent_path());
        writeFileBytes(file(), GetParam().initial());
    }
    fs::path file() const { return GetParam().file(machine); }
    bool rewrite() const { return GetParam().rewrite(machine); }

    test::TempDir dir;
    MachineFolder machine{dir.path()};
};

struct stat statOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

TEST_P(DurableWriteTest, KeepsPermissionsAndOwner) {
    ASSERT_EQ(::chmod(file().c_str(), 0640), 0);
    // Only the superuser can give a file away; others check their own.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(file().c_str(), 4321, 5432), 0);
    }
    const struct stat before = statOf(file());

    ASSERT_TRUE(rewrite());
    const struct stat after = statOf(file());
    EXPECT_NE(readFileBytes(file()), GetParam().initial());
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
}

TEST_P(DurableWriteTest, FollowsASymbolicLinkAndUpdatesItsTarget) {
    const fs::path target = dir.path() / "elsewhere" / "real-file";
    fs::create_directories(target.parent_path());
    fs::rename(file(), target);
    fs::create_symlink(fs::relative(target, file().parent_path()), file());

    ASSERT_TRUE(rewrite());
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(file())));
    EXPECT_NE(readFileBytes(target), GetParam().initial());
    // Nothing is left beside the target or the link.
    EXPECT_EQ(std::distance(fs::directory_iterator(target.parent_path()), fs::directory_iterator()), 1);
}

TEST_P(DurableWriteTest, ReadOnlyFileIsReportedAndLeftAlone) {
    ASSERT_EQ(::chmod(file().c_str(), 0444), 0);
    const ino_t inode = statOf(file()).st_ino;

    EXPECT_FALSE(rewrite());
    EXPECT_EQ(readFileBytes(file()), GetParam().initial());
    EXPECT_EQ(statOf(file()).st_ino, inode);
    EXPECT_EQ(statOf(file()).st_mode & 07777, 0444u);
}

INSTANTIATE_TEST_SUITE_P(Writers, DurableWriteTest, ::testing::ValuesIn(kWriters),
                         [](const auto& info) { return std::string(info.param.name); });

// A process id that no running process has: a child that has ended.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(DurableFileTest, WritesANewFileAndReportsAFileItMayNotWrite) {
    test::TempDir dir;
    const fs::path file = dir.path() / "new.txt";
    EXPECT_FALSE(writeFileDurably(file, "first"));
    EXPECT_EQ(readFileBytes(file), "first");

    fs::create_directory(dir.path() / "folder");
    EXPECT_TRUE(writeFileDurably(dir.path() / "folder", "x"));
    EXPECT_TRUE(writeFileDurably(dir.path() / "missing" / "x.txt", "x"));
    if (::geteuid() != 0) {
        // Writable by others, not by its owner.
        ASSERT_EQ(::chmod(file.c_str(), 0466), 0);
        EXPECT_EQ(writeFileDurably(file, "second"), std::errc::permission_denied);
        EXPECT_EQ(readFileBytes(file), "first");
    }
}

TEST(DurableFileTest, LeftoversOfEndedRunsAreRemovedOthersKept) {
    test::TempDir dir;
    const fs::path file = dir.path() / "registry.reg";
    writeFileBytes(file, "kept");
    const std::string prefix = "registry.reg.t7tmp-";
    const fs::path ended = dir.path() / (prefix + std::to_string(endedProcess()) + "-0");
    const fs::path running = dir.path() / (prefix + std::to_string(::getppid()) + "-3");
    const fs::path other = dir.path() / "web.config.t7tmp-1-0";
    for (const fs::path& f : {ended, running, other}) writeFileBytes(f, "partial");

    removeLeftoverTemporaries(file);
    EXPECT_FALSE(fs::exists(ended));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_EQ(readFileBytes(file), "kept");
}

}  // namespace
}  // namespace t7
