#pragma once
// The process service of a POSIX system. Arguments arrive pre-split there,
// so the raw argument text is rebuilt with joinArguments.
#include <string>
#include <string_view>
#include <vector>

#include "process/ProcessService.h"

namespace t7 {

class PosixProcessService : public IProcessService {
public:
    // Reads the arguments of the running process from /proc/self/cmdline.
    PosixProcessService();
    // Takes the arguments main() received; argv[0] is the program name.
    PosixProcessService(int argc, const char* const* argv);

    std::wstring commandLineArguments() const override;
    std::wstring programFolder() const override;

    // The arguments after the program name in the bytes of
    // /proc/self/cmdline (NUL-terminated UTF-8 strings).
    static std::vector<std::wstring> argumentsOfCmdline(std::string_view cmdline);

private:
    // Arguments after the program name, decoded from UTF-8.
    std::vector<std::wstring> m_arguments;
};

}  // namespace t7
