#pragma once
// The database page: one window showing its steps (frameSQL, frameDB,
// frameOstrel) one at a time. This class holds the layout, the step
// switching, the key filter and the cancel question; the database work of
// the load step and of each OK step comes in through frmNamePWDHooks.
#include <functional>
#include <string>

#include "forms/Form.h"
#include "forms/FormsRuntime.h"
#include "process/Global.h"

namespace t7 {

class frmDBAPwd;
class frmNamePWD;

struct frmNamePWDHooks {
    // The database part of the load step. Unset: nothing.
    std::function<void(frmNamePWD&)> load;
    // OK while frameSQL, frameDB or frameOstrel is visible. Each hook owns
    // its error trap. Unset: nothing.
    std::function<void(frmNamePWD&)> serverStep;
    std::function<void(frmNamePWD&)> choiceStep;
    std::function<void(frmNamePWD&)> adminStep;
};

class frmNamePWD : public Form {
public:
    frmNamePWD(FormsRuntime& runtime, ProcessValues& values, frmDBAPwd& dbaPwd, frmNamePWDHooks hooks = {});

    static const FormLayout& layoutTable();

    // Page members shared by the database steps.
    std::wstring m_strServer;
    std::wstring m_strSaUser;
    std::wstring m_strSaPwd;
    std::wstring m_strDBName = L"T7";
    bool m_bOldData = false;
    std::wstring m_strInstallPath;
    std::wstring m_strDataPath;

    void ShowDBChoice();
    void ShowAdminSetting();
    // Runs the step whose frame is visible.
    void cmdOk_Click();
    void cmdCancel_Click();
    // The administrator name filter: sets keyAscii to 0 to discard.
    void txtOstrelUser_KeyPress(int& keyAscii);

    frmDBAPwd& dbaPwd() { return m_dbaPwd; }
    ProcessValues& values() { return m_values; }
    void setHooks(frmNamePWDHooks hooks) { m_hooks = std::move(hooks); }

protected:
    void Form_Load() override;

private:
    ProcessValues& m_values;
    frmDBAPwd& m_dbaPwd;
    frmNamePWDHooks m_hooks;
};

}  // namespace t7
