#include "support/MachineTool.h"

#include <windows.h>

#include <filesystem>
#include <stdexcept>

#include "base/Text.h"

namespace t7::test {
namespace {

// One argument as the C runtime's argument parser reads it back.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

// <build>/tests/test_web.exe -> <build>
std::filesystem::path buildFolder() {
    std::wstring self(MAX_PATH, L'\0');
    DWORD n = 0;
    while ((n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()))) == self.size())
        self.resize(self.size() * 2);
    self.resize(n);
    return std::filesystem::path(self).parent_path().parent_path();
}

struct Handle {
    HANDLE h = nullptr;
    ~Handle() {
        if (h) CloseHandle(h);
    }
};

}  // namespace

ToolResult runMachineTool(const std::vector<std::string>& arguments) {
    const std::filesystem::path tool = buildFolder() / "tools" / "t7machine.exe";
    if (!std::filesystem::exists(tool)) throw std::runtime_error("t7machine is not built: " + tool.string());
    std::wstring command = quoted(tool.wstring());
    for (const std::string& a : arguments) command += L" " + quoted(fromUtf8(a));

    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle read, write;
    if (!CreatePipe(&read.h, &write.h, &inherit, 0)) throw std::runtime_error("cannot make a pipe");
    SetHandleInformation(read.h, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = write.h;
    startup.hStdError = write.h;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(tool.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &info))
        throw std::runtime_error("cannot run " + toUtf8(command));
    Handle process{info.hProcess}, thread{info.hThread};
    CloseHandle(write.h);
    write.h = nullptr;

    ToolResult result;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(read.h, buffer, sizeof buffer, &got, nullptr) && got > 0)
        result.output.append(buffer, got);
    WaitForSingleObject(process.h, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.h, &status);
    result.status = static_cast<int>(status);
    return result;
}

}  // namespace t7::test
