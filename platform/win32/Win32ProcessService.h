#pragma once
// The process service of Windows: the raw command-line text the system
// keeps for the process (GetCommandLineW) after the program's own name,
// exactly as it was typed or passed, quotes included; and the folder of the
// program file (GetModuleFileNameW).
#include <string>
#include <string_view>

#include "process/ProcessService.h"

namespace t7 {

class Win32ProcessService : public IProcessService {
public:
    std::wstring commandLineArguments() const override;
    std::wstring programFolder() const override;

    // The text after the program's name in a full command line, by the rule
    // Windows itself uses for the name: up to the closing quote when the
    // line begins with a quote, else up to the first blank. The blanks that
    // follow the name are dropped; everything else is kept.
    static std::wstring argumentsOfCommandLine(std::wstring_view commandLine);
};

}  // namespace t7
