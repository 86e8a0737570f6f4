#include <gtest/gtest.h>

#include <functional>

#include "base/AppError.h"
#include "base/Text.h"
#include "platform/machine/MachineFileSystem.h"
#include "support/AppErrors.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

class MachineFileSystemTest : public ::testing::Test {
protected:
    test::TempDir dir;
    MachineFolder machine{dir.path()};
    MachineFileSystem fs{machine};
};

struct PathCase {
    std::wstring windows;
    std::string native;  // below the machine folder
};

class PathMapping : public MachineFileSystemTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(PathMapping, MapsToTheMachineFolder) {
    EXPECT_EQ(fs.nativePath(GetParam().windows), dir.path() / GetParam().native);
}

INSTANTIATE_TEST_SUITE_P(Paths, PathMapping,
                         ::testing::Values(PathCase{L"D:\\Exam\\WebRoot", "drive_d/Exam/WebRoot"},
                                           PathCase{L"d:/Exam//Data\\", "drive_d/Exam/Data"},
                                           PathCase{L"C:\\Program Files\\x", "drive_c/Program Files/x"},
                                           PathCase{L"C:\\WINDOWS\\system32", "WINDOWS/system32"},
                                           PathCase{L"c:\\windows", "windows"},
                                           PathCase{L"D:\\Exam\\.\\a\\..\\b", "drive_d/Exam/b"},
                                           // ".." stops at the drive's root.
                                           PathCase{L"E:\\..\\..\\etc\\passwd", "drive_e/etc/passwd"},
                                           PathCase{L"D:\\考试\\数据", "drive_d/考试/数据"}));

TEST_F(MachineFileSystemTest, ComponentsResolveIgnoringCaseWhenTheExactNameIsMissing) {
    std::filesystem::create_directories(dir.path() / "drive_d" / "Exam" / "WebRoot");
    test::writeFileBytes(dir.path() / "drive_d" / "Exam" / "WebRoot" / "web.config", "<configuration/>");
    EXPECT_TRUE(fs.fileExists(L"D:\\Exam\\Webroot\\web.config"));
    EXPECT_TRUE(fs.fileExists(L"d:\\EXAM\\webroot\\WEB.CONFIG"));
    EXPECT_EQ(fs.nativePath(L"D:\\exam\\Webroot\\new.txt"), dir.path() / "drive_d/Exam/WebRoot/new.txt");
    EXPECT_TRUE(fs.folderExists(L"D:\\exam\\webroot"));
    EXPECT_FALSE(fs.fileExists(L"D:\\exam\\webroot"));
    EXPECT_FALSE(fs.folderExists(L"D:\\Exam\\Webroot\\web.config"));

    // The exact name wins over a case variant.
    std::filesystem::create_directories(dir.path() / "drive_d" / "Exam" / "webroot");
    EXPECT_FALSE(fs.fileExists(L"D:\\Exam\\webroot\\web.config"));
}

TEST_F(MachineFileSystemTest, NativeAbsolutePathsStayNative) {
    test::writeFileBytes(dir.path() / "Srv" / "file.txt", "x");
    const std::wstring native = fromUtf8(dir.path().string());
    EXPECT_TRUE(fs.fileExists(native + L"\\srv\\FILE.txt"));
}

TEST_F(MachineFileSystemTest, SystemDirectoryIsTheMachinesSystem32) {
    std::filesystem::create_directories(machine.inetsrvFolder());
    EXPECT_TRUE(fs.folderExists(fs.systemDirectory() + L"\\inetsrv"));
    EXPECT_EQ(fs.nativePath(fs.systemDirectory()), machine.systemDirectory());
}

TEST_F(MachineFileSystemTest, CreateFolderMakesOneLevel) {
    std::filesystem::create_directories(dir.path() / "drive_d" / "Exam");
    fs.createFolder(L"D:\\exam\\Data");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "drive_d" / "Exam" / "Data"));
    EXPECT_EQ(test::errorNumberOf([&] { fs.createFolder(L"D:\\Exam\\DATA"); }), 58);
    EXPECT_EQ(test::errorNumberOf([&] { fs.createFolder(L"D:\\Missing\\Data"); }), errnum::PathNotFound);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "drive_d" / "Missing"));
}

TEST_F(MachineFileSystemTest, DeleteAndMoveReportMissingAndExistingFiles) {
    test::writeFileBytes(dir.path() / "drive_d" / "a.txt", "a");
    test::writeFileBytes(dir.path() / "drive_d" / "b.txt", "b");
    EXPECT_EQ(test::errorNumberOf([&] { fs.moveFile(L"D:\\A.TXT", L"D:\\b.txt"); }), 58);
    EXPECT_EQ(test::errorNumberOf([&] { fs.moveFile(L"D:\\none.txt", L"D:\\c.txt"); }), errnum::FileNotFound);
    EXPECT_EQ(test::errorNumberOf([&] { fs.moveFile(L"D:\\a.txt", L"D:\\no\\c.txt"); }),
              errnum::PathNotFound);
    fs.moveFile(L"D:\\A.txt", L"D:\\c.txt");
    EXPECT_EQ(test::readFileBytes(dir.path() / "drive_d" / "c.txt"), "a");
    EXPECT_FALSE(fs.fileExists(L"D:\\a.txt"));

    fs.deleteFile(L"D:\\C.TXT");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "drive_d" / "c.txt"));
    EXPECT_EQ(test::errorNumberOf([&] { fs.deleteFile(L"D:\\c.txt"); }), errnum::FileNotFound);
    std::filesystem::create_directories(dir.path() / "drive_d" / "folder");
    EXPECT_EQ(test::errorNumberOf([&] { fs.deleteFile(L"D:\\folder"); }), errnum::FileNotFound);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "drive_d" / "folder"));
}

}  // namespace
}  // namespace t7
