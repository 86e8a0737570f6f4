#include <gtest/gtest.h>

#include "base/Text.h"
#include "forms/FormsRuntime.h"
#include "forms/HeadlessBackend.h"
#include "forms/Script.h"
#include "forms/ScriptRecorder.h"
#include "shell/Wizard.h"

namespace t7 {
namespace {

std::vector<ScriptAction> parse(const std::string& text) {
    return parseScript(text, Wizard::layouts());
}

TEST(ScriptTest, ReadsEveryActionAndFormatsItBack) {
    const std::string text =
        "\xEF\xBB\xBF# answers for a typical run\r\n"
        "\n"
        "SET frmIIS.txtVirtualDIR=exam 2#x\r\n"
        "  type frmNamePWD.txtOstrelUser=admin\n"
        "click frmSelectIP.optIP(2)\n"
        "select frmIIS.cboWEBIP=SERVER01\n"
        "select frmIIS.lstWebServer#0\n"
        "answer yes\n"
        "type frmDBAPwd.inputPWD=密码 \n";
    const std::vector<ScriptAction> actions = parse(text);
    ASSERT_EQ(actions.size(), 7u);
    EXPECT_EQ(actions[0].line, 3);
    EXPECT_EQ(actions[0].text, L"exam 2#x");
    EXPECT_EQ(actions[2].index, 2);
    EXPECT_EQ(actions[4].itemIndex, 0);
    EXPECT_EQ(actions[5].answer, MsgResult::Yes);
    EXPECT_EQ(actions[6].text, L"密码 ");  // the text runs to the end of the line
    const std::vector<std::wstring> expected = {
        L"set frmIIS.txtVirtualDIR=exam 2#x", L"type frmNamePWD.txtOstrelUser=admin",
        L"click frmSelectIP.optIP(2)",        L"select frmIIS.cboWEBIP=SERVER01",
        L"select frmIIS.lstWebServer#0",      L"answer Yes",
        L"type frmDBAPwd.inputPWD=密码 "};
    for (size_t i = 0; i < actions.size(); ++i) {
        EXPECT_EQ(formatAction(actions[i]), expected[i]);
        const auto again = parse(toUtf8(formatAction(actions[i])));
        ASSERT_EQ(again.size(), 1u);
        EXPECT_EQ(formatAction(again[0]), expected[i]);
    }
}

struct BadScript {
    const char* text;
    int line;
    const char* says;
};

class BadScriptTest : public ::testing::TestWithParam<BadScript> {};

TEST_P(BadScriptTest, IsRefusedNamingItsLine) {
    try {
        parse(GetParam().text);
        FAIL() << "accepted: " << GetParam().text;
    } catch (const ScriptError& e) {
        EXPECT_EQ(e.line(), GetParam().line);
        const std::string what = e.what();
        EXPECT_NE(what.find("line " + std::to_string(GetParam().line)), std::string::npos) << what;
        EXPECT_NE(what.find(GetParam().says), std::string::npos) << what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadScriptTest,
    ::testing::Values(BadScript{"# ok\npress frmIIS.cmdOK\n", 2, "unknown action 'press'"},
                      BadScript{"click frmWeb.cmdOK\n", 1, "unknown form 'frmWeb'"},
                      BadScript{"\n\nclick frmIIS.cmdOk2\n", 3, "unknown control 'frmIIS.cmdOk2'"},
                      BadScript{"click frmSelectIP.optIP\n", 1, "control array"},
                      BadScript{"click frmIIS.cmdOK(1)\n", 1, "not a control array"},
                      BadScript{"click frmSelectIP.optIP(x)\n", 1, "bad control array index"},
                      BadScript{"answer maybe\n", 1, "OK, Yes or No"},
                      BadScript{"set frmIIS.txtURL\n", 1, "FORM.CONTROL=TEXT"},
                      BadScript{"set frmIIS.cmdOK=x\n", 1, "cannot enter text into"},
                      BadScript{"click frmIIS.txtURL\n", 1, "cannot click"},
                      BadScript{"select frmIIS.lstWebServer#-1\n", 1, "bad item index"},
                      BadScript{"click cmdOK\n", 1, "FORM.CONTROL"},
                      BadScript{"answer ok\nset frmIIS.txtURL=\xC3\x28\n", 2, "not valid UTF-8"}));

// A recorded session, replayed, gives the same texts and answers.
TEST(ScriptRecorderTest, ARecordedSessionParsesBackIntoTheSameActions) {
    HeadlessBackend backend;
    FormsRuntime runtime(backend);
    frmDBAPwd dialog(runtime);
    std::string recorded;
    {
        ScriptRecorder recorder(runtime, [&](const std::wstring& line) { recorded += toUtf8(line) + "\n"; });
        dialog.show();
        dialog[L"inputPWD"].typeText(L"abd\bc");
        dialog[L"inputPWDConfirm"].typeText(L"xyz");
        dialog[L"cmdOk"].click();  // different: a box, answered OK
        dialog[L"inputPWDConfirm"].userEditedText(L"abc");
        dialog[L"cmdOk"].click();
    }
    EXPECT_EQ(recorded,
              "set frmDBAPwd.inputPWD=abc\n"
              "type frmDBAPwd.inputPWDConfirm=xyz\n"
              "click frmDBAPwd.cmdOk\n"
              "answer OK\n"
              "set frmDBAPwd.inputPWDConfirm=abc\n"
              "click frmDBAPwd.cmdOk\n");
    EXPECT_EQ(dialog.m_strPWD, L"abc");
    EXPECT_EQ(parse(recorded).size(), 6u);
}

}  // namespace
}  // namespace t7
