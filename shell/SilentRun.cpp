#include "shell/SilentRun.h"

#include <fstream>
#include <iostream>
#include <sstream>

#include "base/Text.h"
#include "forms/HeadlessBackend.h"
#include "forms/ScriptRunner.h"
#include "shell/Switches.h"

namespace t7 {

namespace {

class Log {
public:
    Log(const std::filesystem::path& file, std::function<void(const std::wstring&)> echo)
        : m_out(file, std::ios::binary | std::ios::trunc), m_echo(std::move(echo)) {}
    bool open() const { return m_out.is_open(); }
    void operator()(const std::wstring& line) {
        // Written line by line, so that a run that dies leaves its log.
        m_out << toUtf8(line) << '\n' << std::flush;
        if (m_echo) m_echo(line);
    }

private:
    std::ofstream m_out;
    std::function<void(const std::wstring&)> m_echo;
};

}  // namespace

RunResult finishedRunResult(const ProcessValues& values) {
    if (!values.ifDataSucceedWritten) return RunResult::EndedEarly;
    return values.failuresReported > 0 ? RunResult::CompletedWithFailures : RunResult::Completed;
}

RunResult runSilently(const SilentRunOptions& options, ProcessValues& values, WizardServices services) {
    // Checked before the log is created: it could be the answers file.
    if (const auto problem = switchFilesProblem(options.answersFile, options.logFile)) {
        std::cerr << "T7Setup: " << toUtf8(*problem) << "\n";
        return RunResult::BadAnswers;
    }
    Log log(options.logFile, options.echo);
    if (!log.open()) {
        // The run still goes on; its result stays in the exit status.
        std::cerr << "T7Setup: cannot write the log file " << options.logFile.string() << "\n";
    }
    auto finish = [&](RunResult result) {
        log(L"ResultCode=" + std::to_wstring(static_cast<int>(result)));
        return result;
    };
    log(L"T7Setup 2.1.0025 silent run");

    std::vector<ScriptAction> actions;
    if (options.answersFile) {
        std::ifstream in(*options.answersFile, std::ios::binary);
        if (!in) {
            log(L"cannot read the answers file " + fromUtf8(options.answersFile->string()));
            return finish(RunResult::BadAnswers);
        }
        std::stringstream text;
        text << in.rdbuf();
        try {
            actions = parseScript(text.str(), Wizard::layouts());
        } catch (const ScriptError& e) {
            log(fromUtf8(e.what()));
            return finish(RunResult::BadAnswers);
        }
        log(L"answers file " + fromUtf8(options.answersFile->string()) + L": " +
            std::to_wstring(actions.size()) + L" actions");
    } else {
        log(L"no answers file: every message box takes its default button");
    }

    HeadlessBackend backend;
    FormsRuntime runtime(backend);
    if (options.refusal) {
        ScriptRunner runner(runtime, backend, {}, [&](const std::wstring& l) { log(l); });
        runtime.show(*options.refusal);
        return finish(RunResult::EndedEarly);
    }
    Wizard wizard(runtime, values, std::move(services));
    ScriptRunner runner(runtime, backend, std::move(actions), [&](const std::wstring& l) { log(l); });

    RunResult result = RunResult::EndedEarly;
    try {
        wizard.start();
        if (!runtime.run()) {
            result = RunResult::ActionsRanOut;
        } else {
            result = finishedRunResult(values);
            if (values.failuresReported > 0) {
                log(L"failures reported on the way: " + std::to_wstring(values.failuresReported));
            }
            if (runner.remaining() > 0) {
                log(std::to_wstring(runner.remaining()) + L" actions left unused: the wizard has ended");
            }
        }
    } catch (const RunStopped&) {
        result = runner.actionFailed() ? RunResult::BadAnswers : RunResult::ActionsRanOut;
    } catch (const std::exception& e) {
        // An error no page trapped ends the program, as it would on screen.
        log(L"the run ended on an unexpected error: " + fromUtf8(e.what()));
        result = RunResult::EndedEarly;
    }
    return finish(result);
}

}  // namespace t7
