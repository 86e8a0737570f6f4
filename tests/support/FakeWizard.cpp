#include "support/FakeWizard.h"

#include "base/AppError.h"
#include "process/CommandLine.h"
#include "settings/CRegistry.h"

namespace t7::test {

WizardServices FakeMachine::services() {
    WizardServices s;
    s.web.LoadIPArray = [this](ProcessValues& values) {
        values.IPArray = addresses;
        values.ipArrayDimensioned = true;
    };
    s.web.GetLocalComputerName = [this] { return machineName; };
    s.web.IsHaveIIS = [this] {
        if (iisCheckFails) throw AppError(-2147024891, L"Access is denied");
        if (registryUnreadable) throw RegistryError(1009, L"The registry cannot be read (error 1009)");
        return haveIIS;
    };
    s.web.SplitCommandLine = [this] {
        ++commandLineReads;
        return SplitCommandLine(commandLine);
    };
    s.web.createVirtualDirs = [this](frmIIS&, const std::wstring& ip, const std::wstring& site,
                                     const std::wstring& dirs) {
        createCalls.push_back(ip + L"|" + site + L"|" + dirs);
        return createResult;
    };
    s.web.storeWebURL = [this](const std::wstring& url) {
        if (registryUnwritable)
            throw RegistryError(1013, L"The registry value cannot be written (error 1013)");
        storedURLs.push_back(url);
    };
    return s;
}

FakeWizard::FakeWizard(FakeMachine& machine, frmNamePWDHooks database) {
    WizardServices services = machine.services();
    services.database = std::move(database);
    wizard = std::make_unique<Wizard>(runtime, values, std::move(services));
}

std::vector<std::wstring> FakeWizard::boxTexts() const {
    std::vector<std::wstring> texts;
    for (const ShownMessageBox& box : backend.messageBoxes()) texts.push_back(box.request.text);
    return texts;
}

std::vector<std::wstring> FakeWizard::openForms() const {
    std::vector<std::wstring> names;
    for (Form* form : runtime.loadedForms()) names.push_back(form->name());
    return names;
}

}  // namespace t7::test
