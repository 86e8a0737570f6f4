#pragma once
// The wizard's forms, created once per process like the classic default
// form instances, and the start of a run.
#include <memory>
#include <vector>

#include "database/frmDBAPwd.h"
#include "database/frmNamePWD.h"
#include "forms/FormsRuntime.h"
#include "process/Global.h"
#include "web/frmIIS.h"
#include "web/frmSelectIP.h"

namespace t7 {

struct WizardServices {
    frmIISServices web;
    frmNamePWDHooks database;
};

class Wizard {
public:
    Wizard(FormsRuntime& runtime, ProcessValues& values, WizardServices services);

    // The start-up object: loads frmIIS (its load step is the start-up) and
    // shows it unless the load step has closed it.
    void start();

    frmIIS& iis() { return m_iis; }
    frmSelectIP& selectIP() { return m_selectIP; }
    frmNamePWD& namePWD() { return m_namePWD; }
    frmDBAPwd& dbaPwd() { return m_dbaPwd; }

    // The layout tables of every form, for checking answers files.
    static std::vector<const FormLayout*> layouts();

private:
    frmDBAPwd m_dbaPwd;
    frmNamePWD m_namePWD;
    frmSelectIP m_selectIP;
    frmIIS m_iis;
};

}  // namespace t7
