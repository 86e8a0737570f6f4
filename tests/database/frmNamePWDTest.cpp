#include <gtest/gtest.h>

#include "database/frmDBAPwd.h"
#include "database/frmNamePWD.h"
#include "forms/HeadlessBackend.h"

namespace t7 {
namespace {

using Names = std::vector<std::wstring>;

class frmNamePWDTest : public ::testing::Test {
protected:
    HeadlessBackend backend;
    FormsRuntime runtime{backend};
    ProcessValues values;
    frmDBAPwd dbaPwd{runtime};
    Names steps;
    frmNamePWD page{runtime, values, dbaPwd,
                    frmNamePWDHooks{.load = [this](frmNamePWD&) { steps.push_back(L"load"); },
                                    .serverStep = [this](frmNamePWD&) { steps.push_back(L"server"); },
                                    .choiceStep = [this](frmNamePWD&) { steps.push_back(L"choice"); },
                                    .adminStep = [this](frmNamePWD&) { steps.push_back(L"admin"); }}};

    void SetUp() override { page.show(); }

    Names visibleFrames() {
        Names result;
        for (const wchar_t* f : {L"frameSQL", L"frameDB", L"frameOstrel"}) {
            if (page[f].visible()) result.push_back(f);
        }
        return result;
    }
    Names tabOrder() {
        Names result;
        for (Control* c : page.tabOrder()) result.push_back(c->name());
        return result;
    }
};

TEST_F(frmNamePWDTest, OkRunsTheStepOfTheVisibleFrameAsStepsAdvance) {
    EXPECT_EQ(visibleFrames(), Names{L"frameSQL"});
    page[L"cmdOk"].click();
    page.ShowDBChoice();
    EXPECT_EQ(visibleFrames(), Names{L"frameDB"});
    EXPECT_EQ(page[L"frameDB"].left(), 1800);
    EXPECT_EQ(page[L"frameDB"].top(), 1320);
    page.pressEnter();  // OK is the default button
    page.ShowAdminSetting();
    EXPECT_EQ(visibleFrames(), Names{L"frameOstrel"});
    page[L"cmdOk"].click();
    EXPECT_EQ(steps, (Names{L"load", L"server", L"choice", L"admin"}));
}

TEST_F(frmNamePWDTest, TheAdministratorStepChangesTheHeaderTexts) {
    EXPECT_EQ(page[L"lblTitle"].caption(), L"SQL SERVER 配置");
    page.ShowAdminSetting();
    EXPECT_EQ(page[L"lblTitle"].caption(), L"Vessa考试系统管理员设置");
    EXPECT_EQ(page[L"lblDescription"].caption(),
              L"设置Vessa考试系统的管理员账号和密码，请勿将该账号随意泄漏给他人！");
    EXPECT_EQ(page[L"lblNotes"].caption(), L"请牢记用户名和密码，否则无法登陆系统！");
    EXPECT_EQ(page[L"frameOstrel"].left(), 1800);
    EXPECT_EQ(page[L"frameOstrel"].top(), 1320);
}

TEST_F(frmNamePWDTest, TabOrderVisitsOnlyTheVisibleStep) {
    EXPECT_EQ(tabOrder(), (Names{L"cboSQLServerList", L"txtSqlPwd", L"txtSqlUser", L"cmdOk", L"cmdCancel"}));
    page.ShowDBChoice();
    // The old-database list stays disabled until that choice is made.
    EXPECT_EQ(tabOrder(), (Names{L"optNewDB", L"optOldDB", L"cmdOk", L"cmdCancel"}));
    page.ShowAdminSetting();
    EXPECT_EQ(tabOrder(),
              (Names{L"txtOstrelUser", L"txtOstrelPwd", L"txtOstrelPwdConfirm", L"cmdOk", L"cmdCancel"}));
}

TEST_F(frmNamePWDTest, TheServerBoxKeepsTheServerMember) {
    page[L"cboSQLServerList"].setText(L"DBHOST");
    EXPECT_EQ(page.m_strServer, L"DBHOST");
    page[L"cboSQLServerList"].addItem(L"OTHER");
    page[L"cboSQLServerList"].setListIndex(0);
    EXPECT_EQ(page.m_strServer, L"OTHER");
}

struct Typing {
    const wchar_t* start;
    const wchar_t* typed;
    const wchar_t* result;
};

class NameFilterTest : public frmNamePWDTest, public ::testing::WithParamInterface<Typing> {};

TEST_P(NameFilterTest, OnlyLettersDigitsAfterTheFirstCharacterAndBackspacePass) {
    page.ShowAdminSetting();
    Control& box = page[L"txtOstrelUser"];
    box.setText(GetParam().start);
    box.typeText(GetParam().typed);
    EXPECT_EQ(box.text(), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Keys, NameFilterTest,
                         ::testing::Values(Typing{L"", L"1", L""},               // no leading digit
                                           Typing{L"", L"a1", L"a1"},            // a digit after a letter
                                           Typing{L"", L"Admin09", L"Admin09"},  //
                                           Typing{L"ab", L"_- 中.", L"ab"},  // punctuation, blanks, Chinese
                                           Typing{L"", L"\b", L""},          // Backspace on an empty box
                                           Typing{L"ab", L"\b", L"a"},       //
                                           Typing{L"a", L"\b1", L""},        // empty again: digits refused
                                           Typing{L"ab", L"\x16\x03\x18\t",
                                                  L"ab"},                  // Ctrl+V, Ctrl+C, Ctrl+X, Tab
                                           Typing{L"ab", L"\r", L"ab"}));  // Enter is not for the box

TEST_F(frmNamePWDTest, CancelAnsweredNoLeavesEverythingAnsweredYesClosesThePage) {
    page.ShowAdminSetting();
    page[L"txtOstrelUser"].setText(L"admin");
    backend.queueAnswer(MsgResult::No);
    page[L"cmdCancel"].click();
    EXPECT_TRUE(page.isLoaded());
    EXPECT_EQ(page[L"txtOstrelUser"].text(), L"admin");
    EXPECT_EQ(visibleFrames(), Names{L"frameOstrel"});

    backend.queueAnswer(MsgResult::Yes);
    page[L"cmdCancel"].click();
    EXPECT_FALSE(page.isLoaded());
    EXPECT_TRUE(runtime.ended());
    const MessageBoxRequest& box = backend.messageBoxes()[0].request;
    EXPECT_EQ(box.text, L"确定要取消吗？");
    EXPECT_EQ(box.buttons, MsgButtons::YesNo);
    EXPECT_EQ(box.icon, MsgIcon::None);
    EXPECT_EQ(box.shownTitle(), L"取消");
}

}  // namespace
}  // namespace t7
