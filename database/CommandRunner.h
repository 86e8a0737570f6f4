#pragma once
// The command runner service: starts an operating system command in the
// background, as the database page does with "net start mssqlserver".
#include <memory>
#include <string>

namespace t7 {

class ICommandRunner {
public:
    virtual ~ICommandRunner() = default;
    // Starts `commandLine` (the program, then its arguments, separated by
    // blanks; double quotes group a blank into an argument) and returns at
    // once: the command is not waited for and its outcome is not looked at.
    // Raises AppError 53 (file not found) when the program cannot be found
    // or started.
    virtual void start(const std::wstring& commandLine) = 0;
};

// The platform's command runner.
std::unique_ptr<ICommandRunner> makeCommandRunner();

}  // namespace t7
