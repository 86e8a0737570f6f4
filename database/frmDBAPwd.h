#pragma once
// The database administrator password dialog: takes a new "sa" password
// twice, warns before accepting an empty one.
#include <string>

#include "forms/Form.h"
#include "forms/FormsRuntime.h"

namespace t7 {

class frmDBAPwd : public Form {
public:
    explicit frmDBAPwd(FormsRuntime& runtime);

    static const FormLayout& layoutTable();

    // The accepted password; keeps its value after the dialog unloads.
    std::wstring m_strPWD;

    void cmdOk_Click();

protected:
    void Form_Load() override;
};

}  // namespace t7
