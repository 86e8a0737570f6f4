#include "platform/win32/Win32FileSystem.h"

#include <windows.h>

#include <cstdlib>

#include "base/AppError.h"

namespace t7 {
namespace {

constexpr int32_t kFileAlreadyExists = fserr::FileAlreadyExists;

[[noreturn]] void raise(int32_t number) {
    raiseFileSystemError(number);
}

// The scripting runtime's error for a system error code; `otherwise` for
// codes it has no own number for.
[[noreturn]] void raiseFor(DWORD error, int32_t otherwise) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            raise(errnum::FileNotFound);
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_DRIVE:
            raise(errnum::PathNotFound);
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            raise(kFileAlreadyExists);
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_WRITE_PROTECT:
            raise(errnum::PermissionDenied);
        default:
            raise(otherwise);
    }
}

DWORD attributes(const std::wstring& path) {
    return GetFileAttributesW(path.c_str());
}

}  // namespace

bool Win32FileSystem::folderExists(const std::wstring& path) const {
    const DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::fileExists(const std::wstring& path) const {
    const DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

void Win32FileSystem::createFolder(const std::wstring& path) {
    if (!CreateDirectoryW(path.c_str(), nullptr)) raiseFor(GetLastError(), errnum::PathNotFound);
}

void Win32FileSystem::deleteFile(const std::wstring& path) {
    if (folderExists(path)) raise(errnum::FileNotFound);
    if (!DeleteFileW(path.c_str())) raiseFor(GetLastError(), errnum::FileNotFound);
}

void Win32FileSystem::moveFile(const std::wstring& from, const std::wstring& to) {
    if (!fileExists(from)) raise(errnum::FileNotFound);
    // Without MOVEFILE_REPLACE_EXISTING an existing target is an error.
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED))
        raiseFor(GetLastError(), errnum::PathNotFound);
}

std::wstring Win32FileSystem::systemDirectory() const {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT n = GetSystemDirectoryW(buffer, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) {
        throw AppError(errnum::PathNotFound, L"Path not found: the system directory");
    }
    return std::wstring(buffer, n);
}

std::filesystem::path Win32FileSystem::nativePath(const std::wstring& path) const {
    return std::filesystem::path(path);
}

std::wstring windowsProgramDataFolder() {
    // %ProgramData%; Windows versions before Vista call it All Users.
    for (const wchar_t* name : {L"ProgramData", L"ALLUSERSPROFILE"}) {
        const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
        if (n == 0) continue;
        std::wstring value(n, L'\0');
        const DWORD got = GetEnvironmentVariableW(name, value.data(), n);
        if (got > 0 && got < n) {
            value.resize(got);
            return value;
        }
    }
    throw AppError(errnum::PathNotFound, L"Path not found: %ProgramData%");
}

}  // namespace t7

namespace t7 {

std::unique_ptr<IFileSystem> makeFileSystem() {
    return std::make_unique<Win32FileSystem>();
}

}  // namespace t7
