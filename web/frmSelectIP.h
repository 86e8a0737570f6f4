#pragma once
// The IP selection dialog: one option button per IPArray entry; the
// operator's confirmed choice replaces SelectedIP. Shown modally by start-up.
#include <string>

#include "forms/Form.h"
#include "forms/FormsRuntime.h"
#include "process/Global.h"

namespace t7 {

class frmSelectIP : public Form {
public:
    frmSelectIP(FormsRuntime& runtime, ProcessValues& values);

    static const FormLayout& layoutTable();

    // Takes the first enabled, selected element's entry into SelectedIP, or
    // says "请选择一个IP"; unloads the dialog either way.
    void cmdOk_Click();

    // The caption of the element for an IPArray entry, and whether the
    // element can be chosen.
    static std::wstring captionFor(const std::wstring& entry, bool& enabled);

protected:
    void Form_Load() override;

private:
    ProcessValues& m_values;
};

}  // namespace t7
