// Owner-only files on Windows: the file's access list is replaced by one
// entry that gives the user running the wizard full control, inherited from
// nothing. The user is named by its own SID rather than by Owner Rights,
// which Wine does not map to the host file's owner (the file would end up
// readable by nobody there).
#include <aclapi.h>
#include <sddl.h>
#include <windows.h>

#include <string>
#include <vector>

#include "shell/PrivateFile.h"

namespace t7 {
namespace {

class Win32PrivateFile : public IPrivateFile {
public:
    explicit Win32PrivateFile(HANDLE file) : m_file(file) {}
    ~Win32PrivateFile() override { CloseHandle(m_file); }
    Win32PrivateFile(const Win32PrivateFile&) = delete;
    Win32PrivateFile& operator=(const Win32PrivateFile&) = delete;

    bool append(std::string_view bytes) override {
        while (!bytes.empty()) {
            DWORD written = 0;
            const DWORD chunk = bytes.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(bytes.size());
            if (!WriteFile(m_file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
            bytes.remove_prefix(written);
        }
        return FlushFileBuffers(m_file) != 0;
    }

private:
    HANDLE m_file;
};

std::wstring errorText(DWORD error) {
    return L"error " + std::to_wstring(error);
}

// The access list in the system's text form: the process's user, full
// control, protected. Empty when the user cannot be read; `error` says why.
std::wstring ownerOnlyAccessList(DWORD& error) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        error = GetLastError();
        return {};
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    std::wstring list;
    LPWSTR sid = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
        list = L"D:P(A;;FA;;;" + std::wstring(sid) + L")";
        LocalFree(sid);
    } else {
        error = GetLastError();
    }
    CloseHandle(token);
    return list;
}

}  // namespace

std::unique_ptr<IPrivateFile> createPrivateFile(const std::filesystem::path& file, std::wstring& why) {
    auto fail = [&](const std::wstring& reason) {
        why = file.wstring() + L": " + reason;
        return nullptr;
    };
    DWORD error = 0;
    const std::wstring accessList = ownerOnlyAccessList(error);
    if (accessList.empty()) return fail(errorText(error));
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(accessList.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        return fail(errorText(GetLastError()));
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE | WRITE_DAC, 0, &attributes, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD openError = GetLastError();
    if (handle == INVALID_HANDLE_VALUE) {
        LocalFree(descriptor);
        return fail(errorText(openError));
    }
    auto close = [&](const std::wstring& reason) {
        CloseHandle(handle);
        LocalFree(descriptor);
        return fail(reason);
    };
    if (GetFileType(handle) != FILE_TYPE_DISK) return close(L"not a regular file");
    // An existing file keeps its access list on open; restrict it before it
    // is emptied and written.
    if (openError == ERROR_ALREADY_EXISTS) {
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL dacl = nullptr;
        GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
        const DWORD set = SetSecurityInfo(handle, SE_FILE_OBJECT,
                                          DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                          nullptr, nullptr, dacl, nullptr);
        if (set != ERROR_SUCCESS) return close(errorText(set));
        // Wine takes a new access list to its host file's mode only when it
        // is set by name; Windows has it already and takes it again as is.
        if (!SetFileSecurityW(file.c_str(), DACL_SECURITY_INFORMATION, descriptor))
            return close(errorText(GetLastError()));
        if (!SetEndOfFile(handle)) return close(errorText(GetLastError()));
    }
    LocalFree(descriptor);
    return std::make_unique<Win32PrivateFile>(handle);
}

}  // namespace t7
