#pragma once
// A silent run: the wizard on the headless backend, driven by an answers
// file, every action and box written to a log whose last line is
// "ResultCode=N".
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "forms/MessageBox.h"
#include "process/Global.h"
#include "shell/Wizard.h"

namespace t7 {

// Exit status of a run.
enum class RunResult : int {
    // The wizard reached its end and wrote "ifDataSucceed".
    Completed = 0,
    // Cancelled, missing argument, or the last page closed before the end.
    EndedEarly = 1,
    // The actions ran out while a form still waited.
    ActionsRanOut = 2,
    // The answers file is bad (nothing ran), or one of its actions could
    // not be carried out (the log names the line).
    BadAnswers = 3,
    // The wizard reached its end, but a step on the way reported a failure
    // (a message box or ErrorLog.TXT says which).
    CompletedWithFailures = 4,
};

// The result of a run whose forms have all closed.
RunResult finishedRunResult(const ProcessValues& values);

struct SilentRunOptions {
    // Unset: no actions; the run goes as far as default answers take it.
    std::optional<std::filesystem::path> answersFile;
    std::filesystem::path logFile = "setup.log";
    // Also receives every log line (for printing); may be empty.
    std::function<void(const std::wstring&)> echo;
    // Set: the wizard does not start; this box is shown (and logged) and
    // the run ends early. The answers file is still checked first.
    std::optional<MessageBoxRequest> refusal;
};

// Runs the wizard silently. `values` and `services` are the process's; the
// log file is created (or replaced). Never waits for input. Answers and log
// files that switchFilesProblem refuses end the run with BadAnswers before
// anything is written; the reason goes to the standard error.
RunResult runSilently(const SilentRunOptions& options, ProcessValues& values, WizardServices services);

}  // namespace t7
