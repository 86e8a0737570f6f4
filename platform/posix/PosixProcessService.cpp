#include "platform/posix/PosixProcessService.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/Text.h"
#include "process/CommandLine.h"
#include "shell/Switches.h"

namespace t7 {

PosixProcessService::PosixProcessService() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    m_arguments = argumentsOfCmdline(all);
}

std::vector<std::wstring> PosixProcessService::argumentsOfCmdline(std::string_view cmdline) {
    std::vector<std::wstring> arguments;
    // The first string is the program name.
    size_t start = cmdline.find('\0');
    while (start != std::string_view::npos && start + 1 < cmdline.size()) {
        ++start;
        size_t end = cmdline.find('\0', start);
        if (end == std::string_view::npos) end = cmdline.size();
        arguments.push_back(fromUtf8(cmdline.substr(start, end - start)));
        start = end;
    }
    return arguments;
}

PosixProcessService::PosixProcessService(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) m_arguments.push_back(fromUtf8(argv[i]));
}

std::wstring PosixProcessService::commandLineArguments() const {
    return joinArguments(m_arguments);
}

std::unique_ptr<IProcessService> makeProcessService(int argc, const char* const* argv) {
    return std::make_unique<PosixProcessService>(argc, argv);
}

// The shell has split the arguments and removed the operator's quotes.
ProgramCommandLine readProgramCommandLine(int argc, const char* const* argv,
                                          const std::function<bool(const std::wstring&)>& exists) {
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(fromUtf8(argv[i]));
    ProgramCommandLine line;
    line.switches = extractSwitches(arguments, exists);
    line.argumentText = joinArguments(arguments);
    return line;
}

std::wstring PosixProcessService::programFolder() const {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return fromUtf8(std::filesystem::current_path().string());
    return fromUtf8(exe.parent_path().string());
}

}  // namespace t7
