// Owner-only files on Windows: the file's access list is replaced by one
// entry that gives its owner full control, inherited from nothing.
#include <aclapi.h>
#include <sddl.h>
#include <windows.h>

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

}  // namespace

std::unique_ptr<IPrivateFile> createPrivateFile(const std::filesystem::path& file, std::wstring& why) {
    auto fail = [&](const std::wstring& reason) {
        why = file.wstring() + L": " + reason;
        return nullptr;
    };
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    // Owner Rights, full control; protected from the folder's inherited entries.
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;OW)", SDDL_REVISION_1,
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
        if (!SetEndOfFile(handle)) return close(errorText(GetLastError()));
    }
    LocalFree(descriptor);
    return std::make_unique<Win32PrivateFile>(handle);
}

}  // namespace t7
