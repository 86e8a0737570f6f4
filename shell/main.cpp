// The wizard's program: the composition root. It builds the services over
// the machine folder and this process, takes the installer's switches out of
// the command line, and runs the wizard silently (/s) or on the desktop.
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "base/AppError.h"
#include "base/Text.h"
#include "database/DatabaseComponent.h"
#include "database/DatabasePage.h"
#include "forms/GuiBackend.h"
#include "forms/ScriptRecorder.h"
#include "platform/machine/ApplicationHostStore.h"
#include "platform/machine/MachineFileSystem.h"
#include "platform/machine/MachineFolder.h"
#include "platform/machine/MachineRegistryHive.h"
#include "platform/posix/PosixCommandRunner.h"
#include "platform/posix/SystemClock.h"
#include "settings/CRegistry.h"
#include "shell/CommandLine.h"
#include "shell/Global.h"
#include "shell/ProcessService.h"
#include "shell/SilentRun.h"
#include "shell/Switches.h"
#include "shell/Wizard.h"
#include "web/NetworkInfoService.h"
#include "web/WebPageServices.h"
#include "web/mdlIPArray.h"

namespace {

// The process as the wizard sees it: its arguments without the installer's
// switches.
class WizardProcess : public t7::IProcessService {
public:
    WizardProcess(std::unique_ptr<t7::IProcessService> process, std::vector<std::wstring> arguments)
        : m_process(std::move(process)), m_arguments(std::move(arguments)) {}
    std::wstring commandLineArguments() const override { return t7::joinArguments(m_arguments); }
    std::wstring programFolder() const override { return m_process->programFolder(); }

private:
    std::unique_ptr<t7::IProcessService> m_process;
    std::vector<std::wstring> m_arguments;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(t7::fromUtf8(argv[i]));
    const t7::SetupSwitches switches = t7::extractSwitches(arguments);
    WizardProcess process(t7::makeProcessService(argc, argv), std::move(arguments));
    const std::unique_ptr<t7::INetworkInfoService> network = t7::makeNetworkInfoService();

    const t7::MachineFolder machine = t7::MachineFolder::fromEnvironment();
    t7::MachineRegistryHive hive(machine);
    t7::MachineFileSystem fileSystem(machine);
    t7::CRegistry registry(hive, fileSystem);
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
    t7::ApplicationHostStore webStore(machine.applicationHostConfig(), fileSystem,
                                      [&values] { return values.IPArray; });
    t7::attachWebServerStore(services.web, webStore);

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
    t7::PosixCommandRunner commandRunner = t7::PosixCommandRunner::forRunningProgram();
    const t7::SystemClock clock;
    services.database = t7::DatabasePage::hooks(std::make_shared<t7::DatabasePage>(
        t7::DatabasePageServices{.component = databaseServer.get(),
                                 .registry = &registry,
                                 .fileSystem = &fileSystem,
                                 .commandRunner = &commandRunner,
                                 .SplitCommandLine = [&] { return t7::SplitCommandLine(process); },
                                 .programFolder = std::filesystem::path(t7::toUtf8(process.programFolder())),
                                 .clock = &clock,
                                 .timeStamp = {}}));

    if (switches.silent) {
        t7::SilentRunOptions options;
        if (switches.answersFile)
            options.answersFile = std::filesystem::path(t7::toUtf8(*switches.answersFile));
        if (switches.logFile) options.logFile = std::filesystem::path(t7::toUtf8(*switches.logFile));
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
    t7::Wizard wizard(runtime, values, std::move(services));

    // /r: the operator's actions become an answers file that /s replays.
    std::ofstream recording;
    std::unique_ptr<t7::ScriptRecorder> recorder;
    if (switches.record) {
        const std::filesystem::path file(t7::toUtf8(switches.answersFile.value_or(L"answers.txt")));
        recording.open(file, std::ios::binary | std::ios::trunc);
        if (!recording) {
            std::cerr << "T7Setup: cannot write the answers file " << file.string() << "\n";
            return static_cast<int>(t7::RunResult::EndedEarly);
        }
        recording << "# T7Setup answers, recorded\n" << std::flush;
        recorder = std::make_unique<t7::ScriptRecorder>(runtime, [&](const std::wstring& line) {
            recording << t7::toUtf8(line) << '\n' << std::flush;
        });
    }
    try {
        wizard.start();
        runtime.run();
        if (recorder) recorder->flush();
    } catch (const std::exception& e) {
        std::cerr << "T7Setup: " << e.what() << "\n";
        return static_cast<int>(t7::RunResult::EndedEarly);
    }
    return static_cast<int>(values.ifDataSucceedWritten ? t7::RunResult::Completed
                                                        : t7::RunResult::EndedEarly);
}
