#pragma once
// The wizard on the headless backend with fake services: a machine whose
// addresses, name, web server and command line a test chooses, and which
// records what the pages asked of it.
#include <memory>
#include <string>
#include <vector>

#include "forms/FormsRuntime.h"
#include "forms/HeadlessBackend.h"
#include "process/Global.h"
#include "shell/Wizard.h"

namespace t7::test {

struct FakeMachine {
    std::vector<std::wstring> addresses = {L"192.168.1.10"};
    std::wstring machineName = L"SERVER01";
    bool haveIIS = true;
    // IsHaveIIS raises instead of answering.
    bool iisCheckFails = false;
    std::wstring commandLine = L"\"t7\" \"D:\\Exam\"";
    VirtualDirsResult createResult = VirtualDirsResult::Created;
    // IsHaveIIS fails as over a registry that cannot be read; storing the
    // URL as over one that cannot be written.
    bool registryUnreadable = false;
    bool registryUnwritable = false;

    // What the pages did.
    int commandLineReads = 0;
    std::vector<std::wstring> createCalls;  // ip|site|dirs
    std::vector<std::wstring> storedURLs;

    WizardServices services();
};

// A whole wizard over a FakeMachine, with the headless backend.
struct FakeWizard {
    explicit FakeWizard(FakeMachine& machine, frmNamePWDHooks database = {});

    HeadlessBackend backend;
    FormsRuntime runtime{backend};
    ProcessValues values;
    std::unique_ptr<Wizard> wizard;

    // Texts of the message boxes shown so far.
    std::vector<std::wstring> boxTexts() const;
    // Names of the loaded forms.
    std::vector<std::wstring> openForms() const;
};

}  // namespace t7::test
