#include "database/frmDBAPwd.h"

#include "database/EntryRules.h"

namespace t7 {

frmDBAPwd::frmDBAPwd(FormsRuntime& runtime) : Form(runtime, layoutTable()) {
    onClick(L"cmdOk", [this] { cmdOk_Click(); });
}

void frmDBAPwd::Form_Load() {
    // Each showing starts with empty boxes (the layout's); m_strPWD keeps
    // the last accepted password until a new one is accepted.
}

void frmDBAPwd::cmdOk_Click() {
    const std::wstring password = control(L"inputPWD").text();
    if (password != control(L"inputPWDConfirm").text()) {
        runtime().msgBox(L"两次输入的密码不相同！");
        return;
    }
    if (const std::wstring message = entryrules::textMessage(L"密码", password, entryrules::kLoginLength);
        !message.empty()) {
        runtime().msgBox(message);
        return;
    }
    if (password.empty() &&
        runtime().msgBox(L"数据库管理员sa的密码为空可能给您的系统带来不安全的因素，确认不设置管理员密码？",
                         MsgButtons::YesNo, MsgIcon::None, L"服务器设置", 2) == MsgResult::No) {
        return;
    }
    m_strPWD = password;
    unload();
}

}  // namespace t7
