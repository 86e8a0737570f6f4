#include <gtest/gtest.h>

#include "ScriptTestSupport.h"
#include "base/AppError.h"
#include "base/Text.h"
#include "resources/ScriptResources.h"

namespace t7 {
namespace {

std::string utf16Le(std::u16string_view text) {
    std::string bytes;
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

class EmbeddedScriptTest : public ::testing::TestWithParam<const wchar_t*> {};

// The stored bytes are the source converted to code page 936 with CR LF and
// padded with at most three NULs; loading them gives back the source text.
TEST_P(EmbeddedScriptTest, IsStoredAsCodePage936WithCrLfAndNulPadding) {
    std::wstring name = GetParam();
    auto bytes = ResourceTable::instance().find(name, kScriptResourceType);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->size() % 4, 0u);
    size_t padding = 0;
    while (padding < bytes->size() && (*bytes)[bytes->size() - 1 - padding] == '\0') ++padding;
    EXPECT_LE(padding, 3u);
    std::string_view content = bytes->substr(0, bytes->size() - padding);
    EXPECT_NE(static_cast<unsigned char>(content[0]), 0xFF) << "a stored script carries no byte-order mark";
    for (size_t i = 0; i < content.size(); ++i) {
        if (content[i] == '\n') {
            ASSERT_TRUE(i > 0 && content[i - 1] == '\r') << "bare LF at byte " << i;
        }
        if (content[i] == '\r') {
            ASSERT_TRUE(i + 1 < content.size() && content[i + 1] == '\n') << "bare CR at byte " << i;
        }
    }

    std::wstring source = test::sourceFile("resources/" + toUtf8(name) + ".sql");
    std::wstring expected;
    for (wchar_t c : source) {
        if (c == L'\n') expected += L'\r';
        expected += c;
    }
    EXPECT_EQ(std::string(content), toCp936(expected));
    EXPECT_EQ(LoadScriptText(name), expected + std::wstring(padding, L'\0'));
}

INSTANTIATE_TEST_SUITE_P(Scripts, EmbeddedScriptTest,
                         ::testing::Values(L"T7SQL", L"T7DATA", L"T7UPDATE", L"OSTRELLOG"));

TEST(ScriptResourcesTest, ChineseTextTakesTheCodePage936Path) {
    auto bytes = ResourceTable::instance().find(L"T7DATA", kScriptResourceType);
    ASSERT_TRUE(bytes.has_value());
    // 系统管理员 in GBK.
    EXPECT_NE(bytes->find("\xCF\xB5\xCD\xB3\xB9\xDC\xC0\xED\xD4\xB1"), std::string_view::npos);
    EXPECT_NE(LoadScriptText(L"T7DATA").find(L"N'系统管理员'"), std::wstring::npos);
}

TEST(ScriptResourcesTest, LookupIgnoresLetterCaseOfNameAndType) {
    std::wstring data = LoadScriptText(L"T7DATA");
    EXPECT_EQ(LoadScriptText(L"T7Data"), data);
    EXPECT_EQ(LoadScriptText(L"t7data"), data);
    EXPECT_EQ(LoadScriptText(L"OstrelLog"), LoadScriptText(L"OSTRELLOG"));
    EXPECT_TRUE(ResourceTable::instance().find(L"t7sql", L"custom").has_value());
    EXPECT_NE(LoadScriptText(L"T7SQL"), LoadScriptText(L"T7UPDATE"));
}

TEST(ScriptResourcesTest, MissingResourceRaisesResourceNotFoundWithItsName) {
    try {
        LoadScriptText(L"T7SQLX");
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), kResourceNotFound);
        EXPECT_NE(e.description().find(L"T7SQLX"), std::wstring::npos);
    }
    // The same name under another type is a different resource.
    ResourceTable table;
    table.add(L"T7SQL", L"SQL", "select 1");
    EXPECT_THROW(LoadScriptText(table, L"T7SQL"), AppError);
}

TEST(ScriptResourcesTest, Utf16ResourceWithByteOrderMarkLosesOnlyTheMark) {
    // Mark, text with a Chinese word and a character outside the BMP, padded
    // with NUL bytes to a multiple of four as the build stores resources.
    std::string bytes = "\xFF\xFE" + utf16Le(u"select N'考试'\r\ngo\r\n\xD840\xDC00");
    while (bytes.size() % 4 != 0) bytes += '\0';
    ResourceTable::instance().add(L"UTF16TEST", L"CUSTOM", bytes);
    std::wstring text = LoadScriptText(L"utf16test");
    ResourceTable::instance().remove(L"UTF16TEST", L"CUSTOM");

    std::wstring expected = L"select N'考试'\r\ngo\r\n\U00020000";
    ASSERT_GE(text.size(), expected.size());
    EXPECT_EQ(text.substr(0, expected.size()), expected);
    EXPECT_EQ(text.substr(expected.size()), std::wstring(text.size() - expected.size(), L'\0'));
    EXPECT_LE(text.size() - expected.size(), 1u);
}

TEST(ScriptResourcesTest, OnlyFfFeSelectsUtf16) {
    ResourceTable table;
    table.add(L"BOMONLY", L"CUSTOM", "\xFF\xFE");
    EXPECT_EQ(LoadScriptText(table, L"BOMONLY"), L"");
    // Big-endian mark and plain code page 936 text are read through 936.
    table.add(L"BE", L"CUSTOM",
              "\xFE\xFF"
              "a");
    EXPECT_EQ(LoadScriptText(table, L"BE"), fromCp936("\xFE\xFF"
                                                      "a"));
    table.add(L"GBK", L"CUSTOM", std::string("\xBF\xBC\xCA\xD4\0\0", 6));
    EXPECT_EQ(LoadScriptText(table, L"gbk"), std::wstring(L"考试\0\0", 4));
}

TEST(ScriptResourcesTest, AddingUnderAnotherCaseReplacesAndRemoveReportsAbsence) {
    ResourceTable table;
    table.add(L"Extra", L"CUSTOM", "one");
    table.add(L"EXTRA", L"custom", "two");
    EXPECT_EQ(LoadScriptText(table, L"extra"), L"two");
    EXPECT_TRUE(table.remove(L"eXtra", L"CUSTOM"));
    EXPECT_FALSE(table.remove(L"Extra", L"CUSTOM"));
    EXPECT_FALSE(table.find(L"Extra", L"CUSTOM").has_value());
}

}  // namespace
}  // namespace t7
