#include "database/frmNamePWD.h"

#include "database/frmDBAPwd.h"

namespace t7 {

namespace {
constexpr int kStepLeft = 1800;
constexpr int kStepTop = 1320;
}  // namespace

frmNamePWD::frmNamePWD(FormsRuntime& runtime, ProcessValues& values, frmDBAPwd& dbaPwd, frmNamePWDHooks hooks)
    : Form(runtime, layoutTable()), m_values(values), m_dbaPwd(dbaPwd), m_hooks(std::move(hooks)) {
    onKeyPress(L"txtOstrelUser", [this](int& key) { txtOstrelUser_KeyPress(key); });
    onChange(L"cboSQLServerList", [this] { m_strServer = control(L"cboSQLServerList").text(); });
    onClick(L"cboSQLServerList", [this] { m_strServer = control(L"cboSQLServerList").text(); });
    onClick(L"cmdOk", [this] { cmdOk_Click(); });
    onClick(L"cmdCancel", [this] { cmdCancel_Click(); });
}

void frmNamePWD::Form_Load() {
    // The page starts on the server step.
    control(L"frameSQL").move(kStepLeft, kStepTop);
    control(L"frameSQL").setVisible(true);
    if (m_hooks.load) m_hooks.load(*this);
}

void frmNamePWD::ShowDBChoice() {
    control(L"frameSQL").setVisible(false);
    control(L"frameDB").move(kStepLeft, kStepTop);
    control(L"frameDB").setVisible(true);
}

void frmNamePWD::ShowAdminSetting() {
    control(L"lblTitle").setCaption(L"Vessa考试系统管理员设置");
    control(L"lblDescription")
        .setCaption(L"设置Vessa考试系统的管理员账号和密码，请勿将该账号随意泄漏给他人！");
    control(L"lblNotes").setCaption(L"请牢记用户名和密码，否则无法登陆系统！");
    control(L"frameSQL").setVisible(false);
    control(L"frameDB").setVisible(false);
    control(L"frameOstrel").move(kStepLeft, kStepTop);
    control(L"frameOstrel").setVisible(true);
}

void frmNamePWD::cmdOk_Click() {
    if (control(L"frameSQL").visible()) {
        if (m_hooks.serverStep) m_hooks.serverStep(*this);
    } else if (control(L"frameDB").visible()) {
        if (m_hooks.choiceStep) m_hooks.choiceStep(*this);
    } else if (control(L"frameOstrel").visible()) {
        if (m_hooks.adminStep) m_hooks.adminStep(*this);
    }
}

void frmNamePWD::cmdCancel_Click() {
    if (runtime().msgBox(L"确定要取消吗？", MsgButtons::YesNo, MsgIcon::None, L"取消") == MsgResult::Yes) {
        unload();
    }
}

void frmNamePWD::txtOstrelUser_KeyPress(int& keyAscii) {
    const bool digit = keyAscii >= '0' && keyAscii <= '9';
    const bool letter = (keyAscii >= 'A' && keyAscii <= 'Z') || (keyAscii >= 'a' && keyAscii <= 'z');
    if (keyAscii == 8 || letter) return;
    // A name never begins with a digit.
    if (digit && !control(L"txtOstrelUser").text().empty()) return;
    keyAscii = 0;
}

}  // namespace t7
