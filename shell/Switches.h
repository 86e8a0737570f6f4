#pragma once
// The installer's switches: /s plays an answers file back silently, /r
// records one, /f1"FILE" names the answers file and /f2"FILE" the log. They
// are taken out of the arguments before the wizard reads its command line,
// so every command line the wizard handles can also be run silently.
#include <optional>
#include <string>
#include <vector>

namespace t7 {

struct SetupSwitches {
    bool silent = false;
    bool record = false;
    std::optional<std::wstring> answersFile;
    std::optional<std::wstring> logFile;
};

// Removes every switch from `arguments` (pre-split, quotes already removed
// by the shell) and returns them. A switch is a whole argument: "/s", "/r",
// or "/f1" or "/f2" directly followed by the file name, in any letter case;
// quotes around the file name are dropped. Any other argument stays.
SetupSwitches extractSwitches(std::vector<std::wstring>& arguments);

}  // namespace t7
