#include "database/WebConfig.h"

#include <gtest/gtest.h>

#include "base/AppError.h"
#include "base/FileSystem.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

// Maps "\install\..." below a scratch folder; enough for one file.
class ScratchFileSystem : public IFileSystem {
public:
    explicit ScratchFileSystem(std::filesystem::path root) : m_root(std::move(root)) {}
    bool folderExists(const std::wstring& p) const override { return std::filesystem::is_directory(nativePath(p)); }
    void createFolder(const std::wstring& p) override { std::filesystem::create_directory(nativePath(p)); }
    bool fileExists(const std::wstring& p) const override { return std::filesystem::is_regular_file(nativePath(p)); }
    void deleteFile(const std::wstring& p) override { std::filesystem::remove(nativePath(p)); }
    void moveFile(const std::wstring& a, const std::wstring& b) override {
        std::filesystem::rename(nativePath(a), nativePath(b));
    }
    std::wstring systemDirectory() const override { return L"C:\\WINDOWS\\system32"; }
    std::filesystem::path nativePath(const std::wstring& p) const override {
        std::wstring s = p;
        for (auto& c : s) {
            if (c == L'\\') c = L'/';
        }
        return m_root / std::filesystem::path(s).relative_path();
    }

private:
    std::filesystem::path m_root;
};

class WebConfigTest : public ::testing::Test {
protected:
    std::filesystem::path configFile() const { return dir.path() / "Exam" / "Webroot" / "web.config"; }
    void update(const std::wstring& password = L"P") {
        updateConnectionString(fs, L"\\Exam", L"(local)", L"admin", password, L"T7");
    }

    test::TempDir dir;
    ScratchFileSystem fs{dir.path()};
};

const char* kConfig =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<!-- examination site -->\r\n"
    "<configuration>\r\n"
    "  <connectionStrings>\r\n"
    "    <add name=\"Other\" connectionString=\"keep me\" />\r\n"
    "    <add name=\"Ostrel\" connectionString=\"server=old\" providerName=\"System.Data.SqlClient\" />\r\n"
    "  </connectionStrings>\r\n"
    "  <appSettings><add key=\"标题\" value=\"考试\" /></appSettings>\r\n"
    "</configuration>\r\n";

TEST_F(WebConfigTest, ReplacesOnlyTheOstrelEntryAndKeepsTheRestOfTheFile) {
    test::writeFileBytes(configFile(), kConfig);
    update();
    std::string expected = kConfig;
    expected.replace(expected.find("server=old"), 10, "server=(local);uid=admin;pwd=P;database=T7");
    // The XML writer closes empty elements without a blank before "/>".
    for (size_t at; (at = expected.find(" />")) != std::string::npos;) expected.erase(at, 1);
    EXPECT_EQ(test::readFileBytes(configFile()), expected);
}

TEST_F(WebConfigTest, MissingFileIsSkippedSilently) {
    EXPECT_NO_THROW(update());
    EXPECT_FALSE(std::filesystem::exists(configFile()));
}

TEST_F(WebConfigTest, MalformedFileOrNameInAnotherCaseFailsAndLeavesTheFile) {
    for (std::string content : {std::string("<configuration><connectionStrings>"),
                                std::string(kConfig).replace(std::string(kConfig).find("\"Ostrel\""), 8,
                                                             "\"ostrel\"")}) {
        test::writeFileBytes(configFile(), content);
        try {
            update();
            FAIL() << "expected an error";
        } catch (const AppError& e) {
            EXPECT_EQ(e.number(), 91);
        }
        EXPECT_EQ(test::readFileBytes(configFile()), content);
    }
}

TEST(ConnectionTextTest, PlainValuesStayAsTheyAreOthersAreQuoted) {
    EXPECT_EQ(connectionText(L"(local)", L"N", L"P", L"T7"), L"server=(local);uid=N;pwd=P;database=T7");
    EXPECT_EQ(connectionText(L"s", L"u", L"a;b", L"T7"), L"server=s;uid=u;pwd=\"a;b\";database=T7");
    EXPECT_EQ(connectionText(L"s", L"u", L" x", L"T7"), L"server=s;uid=u;pwd=\" x\";database=T7");
    EXPECT_EQ(connectionText(L"s", L"u", L"\"q;", L"T7"), L"server=s;uid=u;pwd='\"q;';database=T7");
    EXPECT_EQ(connectionText(L"s", L"u", L"'\"", L"T7"), L"server=s;uid=u;pwd=\"'\"\"\";database=T7");
    // An apostrophe inside a value is no reason to quote it.
    EXPECT_EQ(connectionText(L"s", L"u", L"it's", L"T7"), L"server=s;uid=u;pwd=it's;database=T7");
}

}  // namespace
}  // namespace t7
