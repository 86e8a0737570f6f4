// AppendFile over the Windows file functions: FILE_APPEND_DATA makes every
// write go to the end of the file, whoever else writes to it.
#include <windows.h>

#include "base/AppError.h"
#include "base/AppendFile.h"

namespace t7 {
namespace {

// The runtime's file errors, by the system error behind them.
AppError fileError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_DRIVE:
            return AppError(errnum::PathNotFound, L"Path not found");
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return AppError(errnum::PermissionDenied, L"Permission denied");
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return AppError(61, L"Disk full");
        default:
            return AppError(57, L"Device I/O error");
    }
}

HANDLE handleOf(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

AppendFile::AppendFile(const std::filesystem::path& file) {
    // A folder of that name is the runtime's path/file access error.
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw AppError(75, L"Path/File access error");
    const HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw fileError(GetLastError());
    m_handle = reinterpret_cast<intptr_t>(h);
    m_open = true;
}

AppendFile::~AppendFile() {
    if (m_open) CloseHandle(handleOf(m_handle));
}

void AppendFile::write(std::string_view bytes) {
    if (!m_open) throw AppError(52, L"Bad file name or number");
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(handleOf(m_handle), bytes.data(), chunk, &written, nullptr))
            throw fileError(GetLastError());
        bytes.remove_prefix(written);
    }
}

void AppendFile::close() {
    if (!m_open) return;
    m_open = false;
    if (!CloseHandle(handleOf(m_handle))) throw fileError(GetLastError());
}

}  // namespace t7
