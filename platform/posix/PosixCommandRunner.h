#pragma once
// The command runner over posix_spawn. A program named without a folder is
// looked for in the given folders first (the running program's own folder,
// where the build puts the `net` command), then on PATH.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "database/CommandRunner.h"

namespace t7 {

class PosixCommandRunner : public ICommandRunner {
public:
    explicit PosixCommandRunner(std::vector<std::filesystem::path> searchFolders);
    // A runner that looks in the running program's folder first.
    static PosixCommandRunner forRunningProgram();

    // Starts the command; a background thread reaps it when it ends.
    void start(const std::wstring& commandLine) override;
    // Starts the command and returns its process id; the caller waits for
    // it. Standard input is /dev/null; output goes where ours goes.
    pid_t spawn(const std::wstring& commandLine);

private:
    std::vector<std::filesystem::path> m_searchFolders;
};

// Splits a command line into words at blanks; double quotes group.
std::vector<std::string> splitCommandWords(const std::wstring& commandLine);

}  // namespace t7
