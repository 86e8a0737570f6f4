#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>

#include "base/AppError.h"
#include "base/Text.h"
#include "digest/MD5.h"
#include "support/AppErrors.h"
#include "support/ReferenceMd5.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

std::wstring hexOf(const std::array<uint8_t, 16>& digest) {
    static constexpr wchar_t Hex[] = L"0123456789ABCDEF";
    std::wstring text;
    for (unsigned char b : digest) {
        text += Hex[b >> 4];
        text += Hex[b & 0xF];
    }
    return text;
}

std::wstring referenceDigest(const std::string& bytes) {
    return hexOf(test::ReferenceMd5::of(bytes));
}

std::span<const uint8_t> bytesOf(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

using test::errorNumberOf;

struct Rfc1321Case {
    const char* message;
    const wchar_t* digest;
};

class MD5Rfc1321Test : public ::testing::TestWithParam<Rfc1321Case> {};

TEST_P(MD5Rfc1321Test, StringDigestMatchesTheRfcSuite) {
    MD5 md5;
    EXPECT_EQ(md5.Md5_String_Calc(fromUtf8(GetParam().message)), GetParam().digest);
}

INSTANTIATE_TEST_SUITE_P(
    Suite, MD5Rfc1321Test,
    ::testing::Values(Rfc1321Case{"", L"D41D8CD98F00B204E9800998ECF8427E"},
                      Rfc1321Case{"a", L"0CC175B9C0F1B6A831C399E269772661"},
                      Rfc1321Case{"abc", L"900150983CD24FB0D6963F7D28E17F72"},
                      Rfc1321Case{"message digest", L"F96B697D7CB7938D525A2F31AAF161D0"},
                      Rfc1321Case{"abcdefghijklmnopqrstuvwxyz", L"C3FCD3D76192E4007DFB496CCA67E13B"},
                      Rfc1321Case{"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                                  L"D174AB98D277D9F5A5611C2C9F419D9F"},
                      Rfc1321Case{
                          "1234567890123456789012345678901234567890123456789012345678901234567890123456789"
                          "0",
                          L"57EDF4A22BE3C955AC49DA2E2107B67A"}));

TEST(MD5Test, StringsAroundTheBlockBoundariesMatchOpenSsl) {
    for (size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 32767u}) {
        std::string text;
        for (size_t i = 0; i < length; ++i) text += static_cast<char>('!' + i % 90);
        MD5 md5;
        EXPECT_EQ(md5.Md5_String_Calc(fromUtf8(text)), referenceDigest(text)) << "length " << length;
    }
}

TEST(MD5Test, RandomMessagesInRandomUpdateSlicesMatchOpenSsl) {
    std::mt19937 random(1321);
    for (int round = 0; round < 200; ++round) {
        std::string message(random() % 5000, '\0');
        for (char& c : message) c = static_cast<char>(random());
        MD5 md5;
        md5.MD5Init();
        size_t at = 0;
        while (at < message.size()) {
            size_t slice = std::min<size_t>(random() % 300, message.size() - at);
            std::string part = message.substr(at, slice);
            // A longer buffer than the count: only the counted bytes enter.
            md5.MD5Update(static_cast<int32_t>(slice), bytesOf(part + "tail"));
            at += slice;
        }
        md5.MD5Final();
        ASSERT_EQ(md5.GetValues(), referenceDigest(message)) << "round " << round;
    }
}

TEST(MD5Test, ChinesePasswordIsHashedOverCodePage936Bytes) {
    MD5 md5;
    // 密码 in code page 936 is C3 DC C2 EB.
    EXPECT_EQ(md5.Md5_String_Calc(L"密码abc"), referenceDigest("\xC3\xDC\xC2\xEB"
                                                               "abc"));
    EXPECT_NE(md5.Md5_String_Calc(L"密码abc"), referenceDigest("密码abc"));
}

TEST(MD5Test, RegistersReadTheStateAsSignedDecimal) {
    MD5 md5;
    md5.Md5_String_Calc(L"abc");
    md5.MD5Init();
    EXPECT_EQ(md5.RegisterA(), L"1732584193");
    EXPECT_EQ(md5.RegisterB(), L"-271733879");
    EXPECT_EQ(md5.RegisterC(), L"-1732584194");
    EXPECT_EQ(md5.RegisterD(), L"271733878");
    // The digest of "abc" begins 90 01 50 98, so A holds 0x98500190.
    md5.Md5_String_Calc(L"abc");
    EXPECT_EQ(md5.RegisterA(), std::to_wstring(static_cast<int32_t>(0x98500190u)));
}

TEST(MD5Test, UpdateLimitsRaiseOverflowOrSubscriptErrors) {
    MD5 md5;
    std::string big(32768, 'x');
    EXPECT_EQ(errorNumberOf([&] { md5.MD5Update(32768, bytesOf(big)); }), errnum::Overflow);
    EXPECT_EQ(errorNumberOf([&] { md5.MD5Update(32767, bytesOf(big)); }), 0);
    EXPECT_EQ(errorNumberOf([&] { md5.MD5Update(10, bytesOf("short")); }), errnum::SubscriptOutOfRange);
    EXPECT_EQ(errorNumberOf([&] { md5.Md5_String_Calc(std::wstring(32768, L'a')); }), errnum::Overflow);
    // 16384 Chinese characters are 32768 bytes.
    EXPECT_EQ(errorNumberOf([&] { md5.Md5_String_Calc(std::wstring(16384, L'中')); }), errnum::Overflow);
}

TEST(MD5Test, NonPositiveCountsTakeNothing) {
    MD5 md5;
    md5.MD5Init();
    md5.MD5Update(0, bytesOf("abc"));
    md5.MD5Update(-5, bytesOf("abc"));
    md5.MD5Final();
    EXPECT_EQ(md5.GetValues(), L"D41D8CD98F00B204E9800998ECF8427E");
}

TEST(MD5Test, MessageLimitIsEnforcedByFinal) {
    std::string block(32767, '\0');
    MD5 md5;
    md5.MD5Init();
    test::ReferenceMd5 reference;
    int64_t left = MD5::MaxMessageLength;
    while (left > 0) {
        int32_t n = static_cast<int32_t>(std::min<int64_t>(left, 32767));
        md5.MD5Update(n, bytesOf(block));
        reference.update(std::string_view(block.data(), static_cast<size_t>(n)));
        left -= n;
    }
    MD5 oneByteMore = md5;
    oneByteMore.MD5Update(1, bytesOf(block));
    EXPECT_EQ(errorNumberOf([&] { oneByteMore.MD5Final(); }), errnum::Overflow);

    md5.MD5Final();
    EXPECT_EQ(md5.GetValues(), hexOf(reference.finish()));
}

TEST(MD5Test, RotationKeepsTheSignOfTheRemainder) {
    struct Case {
        uint32_t value;
        int32_t bits;
        uint32_t expected;
    };
    for (const Case& c : {Case{1, 1, 2}, Case{0x80000000u, 1, 1}, Case{0x12345678u, 4, 0x23456781u},
                          Case{1, 33, 2}, Case{0x12345678u, 32, 0x12345678u},
                          Case{0x12345678u, 0, 0x12345678u}, Case{0x12345678u, -4, 0x12345678u},
                          Case{0x12345678u, -28, 0x12345678u}, Case{0xF0000000u, 31, 0x78000000u}}) {
        EXPECT_EQ(static_cast<uint32_t>(MD5::LongLeftRotate(static_cast<int32_t>(c.value), c.bits)),
                  c.expected)
            << std::hex << c.value << " by " << std::dec << c.bits;
    }
}

class MD5FileTest : public ::testing::Test {
protected:
    std::wstring write(const std::string& name, const std::string& bytes) {
        auto path = m_dir.path() / name;
        test::writeFileBytes(path, bytes);
        return fromUtf8(path.string());
    }
    test::TempDir m_dir;
};

TEST_F(MD5FileTest, FilesOfWholeAndPartBlocksMatchOpenSsl) {
    std::mt19937 random(64);
    // 1 MiB + 1 crosses the internal read size.
    for (size_t size : {0u, 1u, 63u, 64u, 65u, 128u, 1000u, (1u << 20) + 1}) {
        std::string bytes(size, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        MD5 md5;
        EXPECT_EQ(md5.Md5_File_Calc(write("试卷" + std::to_string(size), bytes)), referenceDigest(bytes))
            << "size " << size;
    }
}

TEST_F(MD5FileTest, FailuresGiveAnEmptyDigest) {
    MD5 md5;
    EXPECT_EQ(md5.Md5_File_Calc(fromUtf8((m_dir.path() / "missing.bin").string())), L"");
    EXPECT_EQ(md5.Md5_File_Calc(fromUtf8(m_dir.path().string())), L"");
    // A sparse file one byte over the message limit is refused without reading.
    auto tooLong = m_dir.path() / "too-long.bin";
    test::writeFileBytes(tooLong, "");
    std::filesystem::resize_file(tooLong, static_cast<uintmax_t>(MD5::MaxMessageLength) + 1);
    EXPECT_EQ(md5.Md5_File_Calc(fromUtf8(tooLong.string())), L"");
}

}  // namespace
}  // namespace t7
