#include "platform/win32/Win32ProcessService.h"

#include <windows.h>

#include "base/AppError.h"
#include "shell/Switches.h"

namespace t7 {
namespace {

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

}  // namespace

std::wstring Win32ProcessService::argumentsOfCommandLine(std::wstring_view commandLine) {
    size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        const size_t close = commandLine.find(L'"', 1);
        i = close == std::wstring_view::npos ? commandLine.size() : close + 1;
    }
    while (i < commandLine.size() && !isBlank(commandLine[i])) ++i;
    while (i < commandLine.size() && isBlank(commandLine[i])) ++i;
    return std::wstring(commandLine.substr(i));
}

std::wstring Win32ProcessService::commandLineArguments() const {
    const wchar_t* line = GetCommandLineW();
    return argumentsOfCommandLine(line ? line : L"");
}

std::wstring Win32ProcessService::programFolder() const {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) throw AppError(errnum::PathNotFound, L"Path not found: the program's own file");
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);  // truncated: try a larger buffer
    }
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// argv holds the arguments narrowed to the ANSI code page; the text the
// system keeps is the one that holds every character as typed.
ProgramCommandLine readProgramCommandLine(int, const char* const*,
                                          const std::function<bool(const std::wstring&)>& exists) {
    ProgramCommandLine line;
    line.argumentText = Win32ProcessService().commandLineArguments();
    line.switches = extractSwitchesFromText(line.argumentText, exists);
    return line;
}

std::unique_ptr<IProcessService> makeProcessService(int, const char* const*) {
    return std::make_unique<Win32ProcessService>();
}

}  // namespace t7
