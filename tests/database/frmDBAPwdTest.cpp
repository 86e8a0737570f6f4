#include <gtest/gtest.h>

#include "database/frmDBAPwd.h"
#include "forms/HeadlessBackend.h"

namespace t7 {
namespace {

const wchar_t* const kDifferent = L"两次输入的密码不相同！";
const wchar_t* const kEmptyQuestion =
    L"数据库管理员sa的密码为空可能给您的系统带来不安全的因素，确认不设置管理员密码？";

class frmDBAPwdTest : public ::testing::Test {
protected:
    HeadlessBackend backend;
    FormsRuntime runtime{backend};
    frmDBAPwd dialog{runtime};

    // Shows the dialog modally; `operate` plays the operator.
    void showModal(std::function<void(Form&)> operate) {
        backend.whenModal(std::move(operate));
        dialog.showModal();
    }
};

TEST_F(frmDBAPwdTest, DifferentEntriesAreRefusedAndTheDialogStays) {
    dialog.show();
    dialog[L"inputPWD"].typeText(L"secret");
    dialog[L"cmdOk"].click();
    EXPECT_TRUE(dialog.isLoaded());
    EXPECT_EQ(dialog[L"inputPWD"].text(), L"secret");
    ASSERT_EQ(backend.messageBoxes().size(), 1u);
    EXPECT_EQ(backend.messageBoxes()[0].request.text, kDifferent);
    EXPECT_EQ(backend.messageBoxes()[0].request.shownTitle(), L"T7Setup");
    EXPECT_EQ(backend.messageBoxes()[0].request.buttons, MsgButtons::Ok);
}

TEST_F(frmDBAPwdTest, APasswordTheServerCannotHoldWholeIsRefused) {
    dialog.show();
    for (const std::wstring& password : {std::wstring(L"pw😀"), std::wstring(129, L'x')}) {
        dialog[L"inputPWD"].setText(password);
        dialog[L"inputPWDConfirm"].setText(password);
        dialog[L"cmdOk"].click();
        EXPECT_TRUE(dialog.isLoaded());
    }
    ASSERT_EQ(backend.messageBoxes().size(), 2u);
    EXPECT_EQ(backend.messageBoxes()[0].request.text, L"密码中含有无法保存的字符,请重新输入!");
    EXPECT_EQ(backend.messageBoxes()[1].request.text, L"密码不能超过128个字符!");
    EXPECT_EQ(dialog.m_strPWD, L"");
}

TEST_F(frmDBAPwdTest, AnEmptyPasswordIsAskedAboutWithNoAsTheDefault) {
    dialog.show();
    dialog.pressEnter();  // Enter presses OK; the box's Enter takes No
    EXPECT_TRUE(dialog.isLoaded());
    ASSERT_EQ(backend.messageBoxes().size(), 1u);
    const ShownMessageBox& box = backend.messageBoxes()[0];
    EXPECT_EQ(box.request.text, kEmptyQuestion);
    EXPECT_EQ(box.request.buttons, MsgButtons::YesNo);
    EXPECT_EQ(box.request.defaultButton, 2);
    EXPECT_EQ(box.request.shownTitle(), L"服务器设置");
    EXPECT_EQ(box.answer, MsgResult::No);

    dialog.m_strPWD = L"old";
    backend.queueAnswer(MsgResult::Yes);
    dialog[L"cmdOk"].click();
    EXPECT_FALSE(dialog.isLoaded());
    EXPECT_EQ(dialog.m_strPWD, L"");
}

TEST_F(frmDBAPwdTest, EqualEntriesCloseWithoutAQuestionAndThePasswordSurvivesTheUnload) {
    showModal([](Form& f) {
        f[L"inputPWD"].typeText(L"N3w!pwd");
        f[L"inputPWDConfirm"].typeText(L"N3w!pwd");
        f[L"cmdOk"].click();
    });
    EXPECT_FALSE(dialog.isLoaded());
    EXPECT_TRUE(backend.messageBoxes().empty());
    EXPECT_EQ(dialog.m_strPWD, L"N3w!pwd");

    // A new showing starts with empty boxes.
    dialog.show();
    EXPECT_EQ(dialog[L"inputPWD"].text(), L"");
    EXPECT_EQ(dialog[L"inputPWD"].passwordChar(), L'*');
    EXPECT_EQ(dialog.m_strPWD, L"N3w!pwd");
}

}  // namespace
}  // namespace t7
