#pragma once
// The command runner of Windows: CreateProcessW without a console window.
// The system looks for a program named without a folder in the running
// program's own folder first, then in the system folders and on PATH.
#include "database/CommandRunner.h"

namespace t7 {

class Win32CommandRunner : public ICommandRunner {
public:
    // Starts the command and returns at once; its handles are released, the
    // process runs on by itself.
    void start(const std::wstring& commandLine) override;
};

}  // namespace t7
