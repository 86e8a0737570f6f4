#include "platform/posix/PosixCommandRunner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "base/AppError.h"
#include "base/Text.h"

extern char** environ;

namespace t7 {
namespace {

bool isExecutableFile(const std::filesystem::path& file) {
    std::error_code ec;
    return std::filesystem::is_regular_file(file, ec) && ::access(file.c_str(), X_OK) == 0;
}

}  // namespace

std::vector<std::string> splitCommandWords(const std::wstring& commandLine) {
    std::vector<std::string> words;
    std::wstring word;
    bool inWord = false, quoted = false;
    for (wchar_t c : commandLine) {
        if (c == L'"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == L' ' || c == L'\t') && !quoted) {
            if (inWord) words.push_back(toUtf8(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(toUtf8(word));
    return words;
}

PosixCommandRunner::PosixCommandRunner(std::vector<std::filesystem::path> searchFolders)
    : m_searchFolders(std::move(searchFolders)) {}

PosixCommandRunner PosixCommandRunner::forRunningProgram() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return PosixCommandRunner({});
    return PosixCommandRunner({self.parent_path()});
}

pid_t PosixCommandRunner::spawn(const std::wstring& commandLine) {
    std::vector<std::string> words = splitCommandWords(commandLine);
    if (words.empty()) throw AppError(errnum::FileNotFound, L"File not found: empty command");

    std::string program = words[0];
    bool searchPath = program.find('/') == std::string::npos;
    if (searchPath) {
        for (const auto& folder : m_searchFolders) {
            if (isExecutableFile(folder / program)) {
                program = (folder / program).string();
                searchPath = false;
                break;
            }
        }
    }
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // The command runs out of sight, like a minimised console window: its
    // output is not mixed into the wizard's own.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = searchPath ? posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ)
                        : posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        throw AppError(errnum::FileNotFound,
                       L"File not found: " + fromUtf8(words[0]) + L" (" + fromUtf8(std::strerror(rc)) + L")");
    }
    return pid;
}

void PosixCommandRunner::start(const std::wstring& commandLine) {
    pid_t pid = spawn(commandLine);
    // Not waited for by the caller; someone must still collect its exit
    // status so that it does not linger as a zombie.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

std::unique_ptr<ICommandRunner> makeCommandRunner() {
    return std::make_unique<PosixCommandRunner>(PosixCommandRunner::forRunningProgram());
}

}  // namespace t7
