#include "shell/Switches.h"

#include "base/Text.h"

namespace t7 {

namespace {

std::wstring unquoted(std::wstring value) {
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

SetupSwitches extractSwitches(std::vector<std::wstring>& arguments) {
    SetupSwitches switches;
    std::vector<std::wstring> kept;
    for (const std::wstring& argument : arguments) {
        const std::wstring lower = asciiLower(argument);
        if (lower == L"/s") {
            switches.silent = true;
        } else if (lower == L"/r") {
            switches.record = true;
        } else if (lower.starts_with(L"/f1")) {
            switches.answersFile = unquoted(argument.substr(3));
        } else if (lower.starts_with(L"/f2")) {
            switches.logFile = unquoted(argument.substr(3));
        } else {
            kept.push_back(argument);
        }
    }
    arguments = std::move(kept);
    return switches;
}

}  // namespace t7
