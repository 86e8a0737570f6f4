#pragma once
// The installer's switches: /s plays an answers file back silently, /r
// records one, /f1"FILE" names the answers file and /f2"FILE" the log. They
// are taken out of the arguments before the wizard reads its command line,
// so every command line the wizard handles can also be run silently.
#include <optional>
#include <string>

namespace t7 {

struct SetupSwitches {
    bool silent = false;
    bool record = false;
    std::optional<std::wstring> answersFile;
    std::optional<std::wstring> logFile;
};

// Removes every switch from the raw argument text (the command line after
// the program's name, as the process service hands it over) and returns
// them; the rest of the text is left exactly as it was, for the wizard's own
// splitting. The text is cut into words at blanks outside double quotes; a
// switch is a whole word that, without its quotes, is "/s", "/r", or "/f1" or
// "/f2" directly followed by the file name, in any letter case. The blanks
// before a switch go with it.
SetupSwitches extractSwitches(std::wstring& commandLineArguments);

}  // namespace t7
