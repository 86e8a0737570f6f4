#include <gtest/gtest.h>

#include <filesystem>

#include "base/AppError.h"
#include "errorlog/ErrorReporter.h"
#include "support/FakeMessageBoxes.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

class FixedClock : public IClock {
public:
    std::wstring localDateTimeText() const override {
        if (fail) throw AppError(5, L"Invalid procedure call or argument");
        return text;
    }
    std::wstring text = L"2026-12-07 04:33:10";
    bool fail = false;
};

const std::wstring kTitle = L"Unexpected Error! Version:  2. 1.0025";

class ErrorReporterTest : public ::testing::Test {
protected:
    test::TempDir dir;
    FixedClock clock;
    test::FakeMessageBoxes boxes;
    ErrorReporter reporter{dir.path(), clock, boxes};

    std::string log() const { return test::readFileBytes(dir.path() / "ErrorLog.TXT"); }
};

TEST_F(ErrorReporterTest, FirstErrorCreatesTheLogWithOneEntryAndShowsTheBox) {
    reporter.ShowError(L"cmdOK_Click", L"", -2147206386, L"密码验证失败", false);
    // "密码验证失败" in code page 936.
    EXPECT_EQ(log(),
              "**** Error Encountered 2026-12-07 04:33:10 ****\r\n"
              "Error Code:\t-2147206386\r\n"
              "Description:\t\xC3\xDC\xC2\xEB\xD1\xE9\xD6\xA4\xCA\xA7\xB0\xDC\r\n"
              "Procedure:\t\r\n"
              "Module:\t\tcmdOK_Click\r\n"
              "\r\n");
    ASSERT_EQ(boxes.shown().size(), 1u);
    const MessageBoxRequest& box = boxes.shown()[0];
    EXPECT_EQ(box.text, L"Error:密码验证失败\r\n\r\nModule:cmdOK_Click\r\nProcedure:\r\n");
    EXPECT_EQ(box.shownTitle(), kTitle);
    EXPECT_EQ(box.icon, MsgIcon::Critical);
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
}

TEST_F(ErrorReporterTest, LaterErrorsAppendAndSuppressedBoxesStillLog) {
    test::writeFileBytes(dir.path() / "ErrorLog.TXT", "earlier entry\r\n\r\n");
    reporter.ShowError(L"cmdOK_Click", L"", 91, L"", true);
    clock.text = L"2026-12-07 04:34:00";
    reporter.ShowError(L"m", L"p", 0, L"d", true);
    EXPECT_EQ(log(),
              "earlier entry\r\n\r\n"
              "**** Error Encountered 2026-12-07 04:33:10 ****\r\nError Code:\t91\r\n"
              "Description:\t\r\nProcedure:\t\r\nModule:\t\tcmdOK_Click\r\n\r\n"
              "**** Error Encountered 2026-12-07 04:34:00 ****\r\nError Code:\t0\r\n"
              "Description:\td\r\nProcedure:\tp\r\nModule:\t\tm\r\n\r\n");
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(ErrorReporterTest, EmptyDescriptionGivesBareLabels) {
    reporter.ShowError(L"cmdOK_Click", L"", 5, L"", false);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.texts()[0], L"Error:\r\n\r\nModule:cmdOK_Click\r\nProcedure:\r\n");
}

TEST(ErrorBoxTitleTest, SignBlanksAndFourDigitRevision) {
    EXPECT_EQ(errorBoxTitle(kProgramVersion), kTitle);
    EXPECT_EQ(errorBoxTitle({10, 0, 12345}), L"Unexpected Error! Version:  10. 0.12345");
    EXPECT_EQ(errorBoxTitle({-1, 2, 7}), L"Unexpected Error! Version: -1. 2.0007");
}

// A log that cannot be opened: one box for the opening, one for each of
// the six writes, then the operator's box.
TEST_F(ErrorReporterTest, UnopenableLogShowsEachFailureAndGoesOn) {
    ErrorReporter missing(dir.path() / "no such folder", clock, boxes);
    missing.ShowError(L"cmdOK_Click", L"", 1, L"boom", false);
    ASSERT_EQ(boxes.shown().size(), 8u);
    EXPECT_EQ(boxes.texts()[0], L"Path not found");
    for (size_t i = 1; i < 7; ++i) EXPECT_EQ(boxes.texts()[i], L"Bad file name or number") << i;
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(boxes.shown()[i].icon, MsgIcon::None);
        EXPECT_FALSE(boxes.shown()[i].title.has_value());
        EXPECT_EQ(boxes.shown()[i].buttons, MsgButtons::Ok);
    }
    EXPECT_EQ(boxes.shown()[7].shownTitle(), kTitle);
}

TEST_F(ErrorReporterTest, FullDiskFailsEveryWriteWithItsOwnBox) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    std::filesystem::create_symlink("/dev/full", dir.path() / "ErrorLog.TXT");
    reporter.ShowError(L"cmdOK_Click", L"", 1, L"boom", true);
    ASSERT_EQ(boxes.shown().size(), 6u);
    for (const std::wstring& text : boxes.texts()) EXPECT_EQ(text, L"Disk full");
}

TEST_F(ErrorReporterTest, ClockFailureIsShownAndTheEntryStillWritten) {
    clock.fail = true;
    reporter.ShowError(L"cmdOK_Click", L"", 1, L"boom", false);
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.texts()[0], L"Invalid procedure call or argument");
    EXPECT_EQ(log().substr(0, 35), "**** Error Encountered  ****\r\nError");
}

}  // namespace
}  // namespace t7
