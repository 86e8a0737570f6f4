#include "shell/Switches.h"

#include "base/Text.h"

namespace t7 {

namespace {

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// Records `word` (quotes removed) when it is a switch.
bool takeSwitch(const std::wstring& word, SetupSwitches& switches) {
    const std::wstring lower = asciiLower(word);
    if (lower == L"/s") {
        switches.silent = true;
    } else if (lower == L"/r") {
        switches.record = true;
    } else if (lower.starts_with(L"/f1")) {
        switches.answersFile = word.substr(3);
    } else if (lower.starts_with(L"/f2")) {
        switches.logFile = word.substr(3);
    } else {
        return false;
    }
    return true;
}

}  // namespace

SetupSwitches extractSwitches(std::wstring& commandLineArguments) {
    SetupSwitches switches;
    const std::wstring& text = commandLineArguments;
    std::wstring kept;
    size_t i = 0;
    while (i < text.size()) {
        const size_t blanks = i;
        while (i < text.size() && isBlank(text[i])) ++i;
        const size_t start = i;
        std::wstring word;
        bool quoted = false;
        while (i < text.size() && (quoted || !isBlank(text[i]))) {
            if (text[i] == L'"') {
                quoted = !quoted;
            } else {
                word += text[i];
            }
            ++i;
        }
        if (i == start || !takeSwitch(word, switches)) kept.append(text, blanks, i - blanks);
    }
    commandLineArguments = std::move(kept);
    return switches;
}

}  // namespace t7
