#include <gtest/gtest.h>

#include "base/AppError.h"
#include "base/FileSystem.h"
#include "base/Text.h"
#include "database/WebConfig.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

// Maps "\install\..." below a scratch folder; enough for one file.
class ScratchFileSystem : public IFileSystem {
public:
    explicit ScratchFileSystem(std::filesystem::path root) : m_root(std::move(root)) {}
    bool folderExists(const std::wstring& p) const override {
        return std::filesystem::is_directory(nativePath(p));
    }
    void createFolder(const std::wstring& p) override { std::filesystem::create_directory(nativePath(p)); }
    bool fileExists(const std::wstring& p) const override {
        return std::filesystem::is_regular_file(nativePath(p));
    }
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
    for (std::string content :
         {std::string("<configuration><connectionStrings>"),
          std::string(kConfig).replace(std::string(kConfig).find("\"Ostrel\""), 8, "\"ostrel\"")}) {
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

// The file in each encoding the update must keep. The template's other
// entries hold references of every kind, which must stay as written.
struct Encoded {
    const char* name;
    const char* declared;
    std::string (*encode)(const std::wstring& text);
    // The connection text as the file holds it.
    const wchar_t* value;
};

std::string utf16(const std::wstring& text, bool bigEndian) {
    std::string out;
    for (wchar_t c : text) {
        auto code = static_cast<uint32_t>(c);
        std::vector<uint32_t> units = {code};
        if (code >= 0x10000) units = {0xD800 + ((code - 0x10000) >> 10), 0xDC00 + ((code - 0x10000) & 0x3FF)};
        for (uint32_t unit : units) {
            const char high = static_cast<char>(unit >> 8);
            const char low = static_cast<char>(unit & 0xFF);
            out += bigEndian ? std::string{high, low} : std::string{low, high};
        }
    }
    return out;
}

constexpr const wchar_t* kFullValue = L"server=(local);uid=管理员;pwd=密码😀&amp;&lt;&quot;;database=T7";
constexpr const wchar_t* kCp936Value =
    L"server=(local);uid=管理员;pwd=密码&#128512;&amp;&lt;&quot;;database=T7";
constexpr const wchar_t* kAsciiValue =
    L"server=(local);uid=&#31649;&#29702;&#21592;;pwd=&#23494;&#30721;&#128512;&amp;&lt;&quot;;database=T7";

class WebConfigEncodingTest : public WebConfigTest, public ::testing::WithParamInterface<Encoded> {
protected:
    std::wstring file(const std::wstring& value) const {
        const std::wstring declaration =
            GetParam().declared[0]
                ? L"<?xml version=\"1.0\" encoding=\"" + fromUtf8(GetParam().declared) + L"\"?>\r\n"
                : L"";
        return declaration +
               L"<configuration>\r\n"
               L"  <connectionStrings>\r\n"
               L"    <add name=\"Ostrel\" connectionString=\"" +
               value +
               L"\"/>\r\n"
               L"  </connectionStrings>\r\n"
               L"  <appSettings><add key=\"a&amp;b\" "
               L"value=\"&#20013;&apos;&gt;&#10;&#x9;x\ny\"/></appSettings>\r\n"
               L"  <title>考试 x &lt; y &#x4E2D; &custom;</title>\r\n"
               L"</configuration>\r\n";
    }
};

TEST_P(WebConfigEncodingTest, IsWrittenBackInItsEncodingWithOtherReferencesAsTheyWere) {
    test::writeFileBytes(configFile(), GetParam().encode(file(L"server=old")));
    updateConnectionString(fs, L"\\Exam", L"(local)", L"管理员", L"密码😀&<\"", L"T7");
    EXPECT_EQ(test::readFileBytes(configFile()), GetParam().encode(file(GetParam().value)));
}

INSTANTIATE_TEST_SUITE_P(
    WebConfig, WebConfigEncodingTest,
    ::testing::Values(
        Encoded{"Utf8WithBom", "utf-8", [](const std::wstring& t) { return "\xEF\xBB\xBF" + toUtf8(t); },
                kFullValue},
        Encoded{"Utf8Undeclared", "", [](const std::wstring& t) { return toUtf8(t); }, kFullValue},
        Encoded{"Utf16leWithBom", "utf-16",
                [](const std::wstring& t) { return "\xFF\xFE" + utf16(t, false); }, kFullValue},
        Encoded{"Utf16leWithoutBom", "utf-16", [](const std::wstring& t) { return utf16(t, false); },
                kFullValue},
        Encoded{"Utf16beWithBom", "UTF-16", [](const std::wstring& t) { return "\xFE\xFF" + utf16(t, true); },
                kFullValue},
        Encoded{"Utf16beWithoutBom", "utf-16", [](const std::wstring& t) { return utf16(t, true); },
                kFullValue},
        Encoded{"Gb2312", "gb2312", [](const std::wstring& t) { return toCp936(t); }, kCp936Value},
        Encoded{"Gbk", "GBK", [](const std::wstring& t) { return toCp936(t); }, kCp936Value},
        Encoded{"OtherEncoding", "iso-8859-1",
                [](const std::wstring& t) {
                    // Latin-1 bytes for the characters it has, as the file would.
                    std::string out;
                    for (wchar_t c : t) out += c < 0x100 ? std::string(1, static_cast<char>(c)) : "?";
                    return out;
                },
                kAsciiValue}),
    [](const ::testing::TestParamInfo<Encoded>& info) { return std::string(info.param.name); });

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
