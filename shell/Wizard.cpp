#include "shell/Wizard.h"

namespace t7 {

Wizard::Wizard(FormsRuntime& runtime, ProcessValues& values, WizardServices services)
    : m_dbaPwd(runtime),
      m_namePWD(runtime, values, m_dbaPwd, std::move(services.database)),
      m_selectIP(runtime, values),
      m_iis(runtime, values, std::move(services.web), m_selectIP, [this] { m_namePWD.show(); }) {}

void Wizard::start() {
    // The load step may already have closed the page (missing argument,
    // web server missing, fallback): then it is not shown.
    m_iis.load();
    if (m_iis.isLoaded()) m_iis.show();
}

std::vector<const FormLayout*> Wizard::layouts() {
    return {&frmIIS::layoutTable(), &frmSelectIP::layoutTable(), &frmNamePWD::layoutTable(),
            &frmDBAPwd::layoutTable()};
}

}  // namespace t7
