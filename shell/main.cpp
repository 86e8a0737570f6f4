// The wizard's program: the composition root. It builds the platform's
// services through their make... factories (the platform folder CMake picks
// defines them), takes the installer's switches out of the command line,
// and runs the wizard silently (/s) or on the desktop.
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "base/AppError.h"
#include "base/FileSystem.h"
#include "base/Text.h"
#include "database/CommandRunner.h"
#include "database/DatabaseComponent.h"
#include "database/DatabasePage.h"
#include "errorlog/Clock.h"
#include "forms/GuiBackend.h"
#include "forms/ScriptRecorder.h"
#include "process/CommandLine.h"
#include "process/Global.h"
#include "process/ProcessService.h"
#include "settings/CRegistry.h"
#include "shell/PrivateFile.h"
#include "shell/SilentRun.h"
#include "shell/Switches.h"
#include "shell/Wizard.h"
#include "shell/WizardLock.h"
#include "web/NetworkInfoService.h"
#include "web/WebPageServices.h"
#include "web/WebServerStore.h"
#include "web/mdlIPArray.h"

namespace {

// The process as the wizard sees it: its arguments without the installer's
// switches.
class WizardProcess : public t7::IProcessService {
public:
    WizardProcess(std::unique_ptr<t7::IProcessService> process, std::wstring argumentText)
        : m_process(std::move(process)), m_argumentText(std::move(argumentText)) {}
    std::wstring commandLineArguments() const override { return m_argumentText; }
    std::wstring programFolder() const override { return m_process->programFolder(); }

private:
    std::unique_ptr<t7::IProcessService> m_process;
    std::wstring m_argumentText;
};

bool pathExists(const std::wstring& argument) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(t7::pathOf(argument), ec));
}

std::optional<std::filesystem::path> asPath(const std::optional<std::wstring>& file) {
    if (!file) return std::nullopt;
    return t7::pathOf(*file);
}

t7::MessageBoxRequest otherWizardBox() {
    return {.text = t7::kOtherWizardRunning,
            .buttons = t7::MsgButtons::Ok,
            .icon = t7::MsgIcon::Exclamation,
            .title = L"InstallShield"};
}

}  // namespace

int main(int argc, char** argv) {
    t7::ProgramCommandLine commandLine = t7::readProgramCommandLine(argc, argv, pathExists);
    const t7::SetupSwitches switches = commandLine.switches;
    if (switches.record && !switches.silent) {
        if (const auto problem = t7::switchFilesProblem(asPath(switches.answersFile), std::nullopt)) {
            std::cerr << "T7Setup: " << t7::toUtf8(*problem) << "\n";
            return static_cast<int>(t7::RunResult::BadAnswers);
        }
    }
    // Taken before anything of the machine is read; a second wizard only
    // says that the first one runs.
    const t7::WizardLockResult lock = t7::takeMachineWizardLock();
    if (lock.state == t7::WizardLockState::Unavailable) {
        std::cerr << "T7Setup: running without the wizard lock: " << t7::toUtf8(lock.why) << "\n";
    }
    const bool otherWizard = lock.state == t7::WizardLockState::HeldElsewhere;

    WizardProcess process(t7::makeProcessService(argc, argv), std::move(commandLine.argumentText));
    const std::unique_ptr<t7::INetworkInfoService> network = t7::makeNetworkInfoService();

    const std::unique_ptr<t7::IRegistryHive> hive = t7::makeRegistryHive();
    const std::unique_ptr<t7::IFileSystem> fileSystem = t7::makeFileSystem();
    t7::CRegistry registry(*hive, *fileSystem);
    t7::ProcessValues values;

    t7::WizardServices services;
    services.web.LoadIPArray = [&](t7::ProcessValues& v) { t7::mdlIPArray::LoadIPArray(v, *network); };
    services.web.GetLocalComputerName = [&] { return t7::mdlIPArray::GetLocalComputerName(*network); };
    services.web.IsHaveIIS = [&] { return registry.IsHaveIIS(); };
    services.web.SplitCommandLine = [&] { return t7::SplitCommandLine(process); };
    services.web.storeWebURL = [&](const std::wstring& url) {
        registry.SetKeyValue(L"Ostrel", L"Install", L"WebURL", url, t7::RegistryRoot::LocalMachine);
    };
    // The local computer, for the web server store, is every address and the
    // machine name that start-up puts into IPArray.
    const std::unique_ptr<t7::IWebServerStore> webStore =
        t7::makeWebServerStore(*fileSystem, [&values] { return values.IPArray; });
    t7::attachWebServerStore(services.web, *webStore);

    // The database page works on the platform's database component (the
    // machine's embedded server, or SQL Server over ODBC), which takes the
    // names start-up puts into IPArray for this machine.
    std::shared_ptr<t7::dmo::Application> databaseServer;
    try {
        databaseServer = t7::dmo::makeApplication([&values] { return values.IPArray; },
                                                  t7::mdlIPArray::GetLocalComputerName(*network));
    } catch (const t7::AppError& e) {
        std::cerr << "T7Setup: " << e.what() << "\n";
        return static_cast<int>(t7::RunResult::EndedEarly);
    }
    const std::unique_ptr<t7::ICommandRunner> commandRunner = t7::makeCommandRunner();
    const std::unique_ptr<t7::IClock> clock = t7::makeClock();
    services.web.programFolder = std::filesystem::path(t7::toUtf8(process.programFolder()));
    services.web.clock = clock.get();
    services.database = t7::DatabasePage::hooks(std::make_shared<t7::DatabasePage>(
        t7::DatabasePageServices{.component = databaseServer.get(),
                                 .registry = &registry,
                                 .fileSystem = fileSystem.get(),
                                 .commandRunner = commandRunner.get(),
                                 .SplitCommandLine = [&] { return t7::SplitCommandLine(process); },
                                 .programFolder = services.web.programFolder,
                                 .clock = clock.get(),
                                 .timeStamp = {}}));

    if (switches.silent) {
        t7::SilentRunOptions options;
        options.answersFile = asPath(switches.answersFile);
        if (switches.logFile) options.logFile = *asPath(switches.logFile);
        if (otherWizard) options.refusal = otherWizardBox();
        const t7::RunResult result = t7::runSilently(options, values, std::move(services));
        return static_cast<int>(result);
    }

    std::wstring why;
    std::unique_ptr<t7::IFormsBackend> gui = t7::createGuiBackend(argc, argv, why);
    if (!gui) {
        std::cerr << "T7Setup: cannot show the wizard: " << t7::toUtf8(why) << ".\n"
                  << "Run it silently instead: t7setup \"t7\" \"FOLDER\" /s /f1\"answers.txt\" "
                     "/f2\"setup.log\"\n";
        return static_cast<int>(t7::RunResult::EndedEarly);
    }
    t7::FormsRuntime runtime(*gui);
    if (otherWizard) {
        runtime.show(otherWizardBox());
        return static_cast<int>(t7::RunResult::EndedEarly);
    }
    t7::Wizard wizard(runtime, values, std::move(services));

    // /r: the operator's actions become an answers file that /s replays. It
    // holds the passwords typed, so only its owner may read it.
    std::unique_ptr<t7::IPrivateFile> recording;
    std::unique_ptr<t7::ScriptRecorder> recorder;
    if (switches.record) {
        const std::filesystem::path file = asPath(switches.answersFile).value_or("answers.txt");
        std::wstring why;
        recording = t7::createPrivateFile(file, why);
        if (!recording) {
            std::cerr << "T7Setup: cannot write the answers file " << t7::toUtf8(why) << "\n";
            return static_cast<int>(t7::RunResult::EndedEarly);
        }
        recording->append("# T7Setup answers, recorded\n");
        recorder = std::make_unique<t7::ScriptRecorder>(
            runtime, [&](const std::wstring& line) { recording->append(t7::toUtf8(line) + '\n'); });
    }
    try {
        wizard.start();
        runtime.run();
        if (recorder) recorder->flush();
    } catch (const std::exception& e) {
        std::cerr << "T7Setup: " << e.what() << "\n";
        return static_cast<int>(t7::RunResult::EndedEarly);
    }
    return static_cast<int>(t7::finishedRunResult(values));
}
