#include "base/Text.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestPaths.h"

namespace t7 {
namespace {

TEST(TextTest, MixedAsciiAndChineseRoundTripThroughCodePage936) {
    std::wstring text = L"Vessa考试系统 v2";
    std::string bytes = toCp936(text);
    // Vessa (5) + four Chinese characters of two bytes + " v2" (3).
    ASSERT_EQ(bytes.size(), 5u + 8u + 3u);
    EXPECT_EQ(bytes.substr(0, 5), "Vessa");
    // 考 is B F C in GBK: 0xBF 0xBC.
    EXPECT_EQ(static_cast<unsigned char>(bytes[5]), 0xBF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[6]), 0xBC);
    EXPECT_EQ(fromCp936(bytes), text);
}

TEST(TextTest, CharacterWithoutCodeBecomesQuestionMark) {
    // U+0E01 (Thai) and U+1F600 have no code in 936.
    EXPECT_EQ(toCp936(L"a\x0E01" L"b"), "a?b");
    EXPECT_EQ(toCp936(L"\U0001F600" L"中"), "?\xD6\xD0");
}

TEST(TextTest, EmbeddedNulCharactersSurviveBothWays) {
    std::wstring text(L"a\0中\0b", 5);
    std::string bytes = toCp936(text);
    ASSERT_EQ(bytes, std::string("a\0\xD6\xD0\0b", 6));
    EXPECT_EQ(fromCp936(bytes), text);
    std::wstring ascii(L"\0\0x", 3);
    EXPECT_EQ(toCp936(ascii), std::string("\0\0x", 3));
}

TEST(TextTest, InvalidBytesDecodeToQuestionMarks) {
    // A lone lead byte at the end cannot be decoded.
    EXPECT_EQ(fromCp936(std::string("ab\xD6", 3)), L"ab?");
    EXPECT_EQ(fromUtf8("a\xFF" "b"), L"a\xFFFD" L"b");
}

TEST(TextTest, Utf8RoundTripKeepsChineseAndNul) {
    std::wstring text(L"IIS配置成功!\0x", 10);
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
    EXPECT_EQ(toUtf8(L"中"), "\xE4\xB8\xAD");
}

TEST(TextTest, PathOfNamesTheFileItsTextNames) {
    test::TempDir dir;
    const std::filesystem::path file = dir.path() / pathOf(L"考试 日志.TXT");
    test::writeFileBytes(file, "x");
    // The same name written as UTF-8 finds the same file.
    EXPECT_TRUE(std::filesystem::exists(dir.path() / std::u8string(u8"考试 日志.TXT")));
}

TEST(TextTest, CaseFoldingTouchesOnlyAsciiLetters) {
    EXPECT_TRUE(equalsIgnoreCase(L"OstrelLOG", L"ostrellog"));
    EXPECT_FALSE(equalsIgnoreCase(L"T7", L"T7 "));
    EXPECT_EQ(asciiUpper(L"t7考试"), L"T7考试");
}

}  // namespace
}  // namespace t7
