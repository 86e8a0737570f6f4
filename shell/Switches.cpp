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

std::wstring shown(const std::filesystem::path& file) {
    return fromUtf8(file.string());
}

std::optional<std::wstring> unusable(const std::filesystem::path& file, const wchar_t* role) {
    std::error_code ec;
    switch (std::filesystem::status(file, ec).type()) {
        case std::filesystem::file_type::directory:
            return std::wstring(role) + L" " + shown(file) + L" is a folder";
        case std::filesystem::file_type::fifo:
        case std::filesystem::file_type::socket:
            return std::wstring(role) + L" " + shown(file) + L" is a pipe or socket, not a file";
        default:
            return std::nullopt;
    }
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) return true;
    // A file not made yet: compare where the two names lead.
    const std::filesystem::path left =
        std::filesystem::weakly_canonical(std::filesystem::absolute(a, ec), ec);
    if (ec) return false;
    const std::filesystem::path right =
        std::filesystem::weakly_canonical(std::filesystem::absolute(b, ec), ec);
    return !ec && left == right;
}

}  // namespace

std::optional<std::wstring> switchFilesProblem(const std::optional<std::filesystem::path>& answersFile,
                                               const std::optional<std::filesystem::path>& logFile) {
    if (answersFile) {
        if (auto why = unusable(*answersFile, L"the answers file")) return why;
    }
    if (logFile) {
        if (auto why = unusable(*logFile, L"the log file")) return why;
    }
    if (answersFile && logFile && sameFile(*answersFile, *logFile)) {
        return L"the answers file " + shown(*answersFile) + L" is also the log file " + shown(*logFile);
    }
    return std::nullopt;
}

namespace {

// Applies `argument` to `switches` when it is one; false when it is an
// argument of the wizard.
bool takeSwitch(const std::wstring& argument, SetupSwitches& switches,
                const std::function<bool(const std::wstring&)>& exists) {
    const std::wstring lower = asciiLower(argument);
    const bool fileSwitch = lower.starts_with(L"/f1") || lower.starts_with(L"/f2");
    if (fileSwitch && exists && exists(argument)) return false;
    if (lower == L"/s") {
        switches.silent = true;
    } else if (lower == L"/r") {
        switches.record = true;
    } else if (lower.starts_with(L"/f1")) {
        switches.answersFile = unquoted(argument.substr(3));
    } else if (lower.starts_with(L"/f2")) {
        switches.logFile = unquoted(argument.substr(3));
    } else {
        return false;
    }
    return true;
}

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

}  // namespace

SetupSwitches extractSwitches(std::vector<std::wstring>& arguments,
                              const std::function<bool(const std::wstring&)>& exists) {
    SetupSwitches switches;
    std::vector<std::wstring> kept;
    bool switchesEnded = false;
    for (const std::wstring& argument : arguments) {
        if (switchesEnded) {
            kept.push_back(argument);
        } else if (argument == L"--") {
            switchesEnded = true;
        } else if (!takeSwitch(argument, switches, exists)) {
            kept.push_back(argument);
        }
    }
    arguments = std::move(kept);
    return switches;
}

SetupSwitches extractSwitchesFromText(std::wstring& text,
                                      const std::function<bool(const std::wstring&)>& exists) {
    SetupSwitches switches;
    std::wstring kept;
    bool switchesEnded = false;
    bool lastKept = true;
    size_t at = 0;
    while (at < text.size()) {
        const size_t blanks = at;
        while (at < text.size() && isBlank(text[at])) ++at;
        const size_t word = at;
        bool quoted = false;
        while (at < text.size() && (quoted || !isBlank(text[at]))) {
            if (text[at] == L'"') quoted = !quoted;
            ++at;
        }
        const std::wstring argument = text.substr(word, at - word);
        if (argument.empty()) {
            // Blanks at the end belong to the word before them.
            if (lastKept) kept += text.substr(blanks);
        } else if (!switchesEnded && argument == L"--") {
            switchesEnded = true;
            lastKept = false;
        } else if (switchesEnded || !takeSwitch(argument, switches, exists)) {
            kept += text.substr(blanks, at - blanks);
            lastKept = true;
        } else {
            lastKept = false;
        }
    }
    const size_t first = kept.find_first_not_of(L" \t");
    text = first == std::wstring::npos ? std::wstring() : kept.substr(first);
    return switches;
}

}  // namespace t7
