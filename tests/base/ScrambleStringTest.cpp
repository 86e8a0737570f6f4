#include <gtest/gtest.h>

#include <deque>

#include "base/AppError.h"
#include "base/ScrambleString.h"
#include "base/Text.h"

namespace t7 {
namespace {

// Hands out chosen values, then 0.
class ScriptedRandom : public IRandom {
public:
    explicit ScriptedRandom(std::deque<float> values) : m_values(std::move(values)) {}
    float Rnd() override {
        if (m_values.empty()) return 0.0f;
        float v = m_values.front();
        m_values.pop_front();
        return v;
    }

private:
    std::deque<float> m_values;
};

// XOR of the codes of two ASCII texts, position by position.
std::vector<int> xorOf(const std::wstring& a, const std::wstring& b) {
    std::vector<int> out;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) out.push_back(a[i] ^ b[i]);
    return out;
}

TEST(BasicRndTest, DrawsTheUnseededBasicSequenceAndResets) {
    BasicRnd rnd;
    const float expected[] = {0.7055475f, 0.533424f, 0.5795186f, 0.2895625f, 0.301948f};
    for (float value : expected) EXPECT_NEAR(rnd.Rnd(), value, 1e-7);
    rnd.reset();
    EXPECT_NEAR(rnd.Rnd(), expected[0], 1e-7);
}

TEST(ScrambleStringTest, PaddingRoundsHalvesToEvenWithinAToBracket) {
    // 0.25 * 26 = 6.5 -> 6 "G"; 0.75 * 26 = 19.5 -> 20 "U"; 0.5 -> 13 "N";
    // the largest value below 1 -> 26 "[".
    ScriptedRandom random({0.25f, 0.75f, 0.5f, 0.99999994f, 0.0f});
    // Key digits 0 leave everything as it is, so the padding shows plainly.
    EXPECT_EQ(ScrambleString(L"", L"00000", random), L"GUN[A");
}

TEST(ScrambleStringTest, MultipliersFollowThePositionsForTwentyCharacters) {
    ScriptedRandom random({});
    const std::wstring text(20, L'a');
    const std::wstring out = ScrambleString(text, L"1111111", random);
    ASSERT_EQ(out.size(), 27u);
    // With every digit 1 the XOR is the multiplier itself; padding is "A".
    const std::wstring padded = text + std::wstring(7, L'A');
    std::vector<int> expected;
    for (int j = 1; j <= 27; ++j) expected.push_back(j <= 6 ? 1 : j <= 13 ? 2 : j <= 20 ? 3 : 4);
    EXPECT_EQ(xorOf(out, padded), expected);
}

TEST(ScrambleStringTest, KeyDigitsApplyFromTheSecondAndZeroLeavesCharactersAlone) {
    ScriptedRandom random({});
    const std::wstring out = ScrambleString(L"aaaaaaaa", L"1204", random);
    // Positions 1..3 use digits 2,0,4 (m 1); 4..7 use 1,2,0,4 (m 2);
    // 8..11 use 1,2,0,4 (m 3); 12 uses 1 (m 4).
    EXPECT_EQ(xorOf(out, L"aaaaaaaaAAAA"), (std::vector<int>{2, 0, 4, 2, 4, 0, 8, 3, 6, 0, 12, 4}));
}

TEST(ScrambleStringTest, AsciiStaysAsciiAndTheResultMayHoldNul) {
    // Position 42..48 of a 7-digit key have multiplier 7; "1" is code 49 = 7 x 7.
    const std::wstring text(48, L'1');
    const std::wstring out = ScrambleString(text, L"7777777");
    ASSERT_EQ(out.size(), 55u);
    for (size_t i = 0; i < out.size(); ++i) {
        EXPECT_LT(static_cast<unsigned>(out[i]), 128u);
        EXPECT_EQ(out[i] == L'\0', i >= 41 && i <= 47) << "position " << i + 1;
    }
}

TEST(ScrambleStringTest, ScramblingTwiceRestoresThePaddedText) {
    const std::wstring texts[] = {L"",
                                  L"sa",
                                  L"T7Admin!",
                                  L"密码中文abc",
                                  std::wstring(40, L'中'),
                                  L"丂丂丂丂丂丂丂",
                                  std::wstring(L"a\0b", 3),
                                  L"€é\x0E01"};
    for (const std::wstring& text : texts) {
        for (const wchar_t* key : {L"5820316", L"9", L"8888888"}) {
            const std::wstring once = ScrambleString(text, key);
            ASSERT_EQ(once.size(), text.size() + wcslen(key));
            const std::wstring twice = ScrambleString(once, key);
            EXPECT_EQ(twice.substr(0, text.size()), text) << toUtf8(text) << " key " << toUtf8(key);
            for (wchar_t pad : twice.substr(text.size(), wcslen(key))) {
                EXPECT_TRUE(pad >= L'A' && pad <= L'[');
            }
        }
    }
}

TEST(ScrambleStringTest, DoubleByteCharactersChangeOnlyTheirTrailByte) {
    ScriptedRandom random({});
    // 中 is D6 D0; position 1 of key "1" has multiplier 2, so D6 D2.
    EXPECT_EQ(toCp936(ScrambleString(L"中", L"1", random).substr(0, 1)), "\xD6\xD2");
    // 丂 is 81 40; at position 7 of key "8" the mask is 8 x 8 = 0x40, and
    // 81 00 is no character, so it stays.
    const std::wstring out = ScrambleString(L"xxxxxx丂", L"8", random);
    EXPECT_EQ(out[6], L'丂');
    EXPECT_NE(out[0], L'x');
}

TEST(ScrambleStringTest, UnseededProcessGeneratorRepeatsAcrossRuns) {
    processRandom().reset();
    const std::wstring first = ScrambleString(L"admin", L"5820316") + ScrambleString(L"secret", L"5820316");
    processRandom().reset();
    const std::wstring second = ScrambleString(L"admin", L"5820316") + ScrambleString(L"secret", L"5820316");
    EXPECT_EQ(first, second);
    // The two calls draw different padding from the running sequence.
    EXPECT_NE(ScrambleString(L"", L"0000000"), ScrambleString(L"", L"0000000"));
}

TEST(ScrambleStringTest, KeyMustBeDecimalDigits) {
    EXPECT_THROW(ScrambleString(L"a", L""), AppError);
    EXPECT_THROW(ScrambleString(L"a", L"12a"), AppError);
}

}  // namespace
}  // namespace t7
