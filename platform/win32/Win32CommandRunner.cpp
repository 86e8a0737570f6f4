#include "platform/win32/Win32CommandRunner.h"

#include <windows.h>

#include <string>

#include "base/AppError.h"
#include "platform/win32/WinHandle.h"

namespace t7 {

void Win32CommandRunner::start(const std::wstring& commandLine) {
    if (commandLine.find_first_not_of(L" \t") == std::wstring::npos) {
        throw AppError(errnum::FileNotFound, L"File not found: empty command");
    }
    // CreateProcessW may write into the command line it is given.
    std::wstring buffer = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &info)) {
        const DWORD error = GetLastError();
        throw AppError(errnum::FileNotFound, L"File not found: " + commandLine + L" (system error " +
                                                 std::to_wstring(error) + L")");
    }
    const win32::KernelHandle process(info.hProcess);
    const win32::KernelHandle thread(info.hThread);
}

std::unique_ptr<ICommandRunner> makeCommandRunner() {
    return std::make_unique<Win32CommandRunner>();
}

}  // namespace t7
