// writeFileDurably over the Windows file functions: the temporary is
// flushed with FlushFileBuffers; ReplaceFileW puts it in place of an
// existing file, keeping that file's attributes, owner and access control
// list; a new file is moved into place with MOVEFILE_WRITE_THROUGH.
#include <windows.h>

#include <atomic>
#include <charconv>
#include <string>

#include "base/DurableFile.h"
#include "platform/win32/WinHandle.h"

namespace t7 {
namespace {

// A temporary is "<name>.t7tmp-<pid>-<n>", so that a later run can tell
// whether the process that made it is still there.
constexpr std::wstring_view kMarker = L".t7tmp-";

// The portable condition for the system errors a caller may test for; the
// system's own code otherwise.
std::error_code errorFor(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return std::make_error_code(std::errc::permission_denied);
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return std::make_error_code(std::errc::no_such_file_or_directory);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return std::make_error_code(std::errc::no_space_on_device);
        default:
            return std::error_code(static_cast<int>(error), std::system_category());
    }
}

std::error_code lastError() {
    return errorFor(GetLastError());
}

// The file a path finally names, following symbolic links.
std::error_code resolveLinks(std::filesystem::path& file) {
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(file, ec)) return {};
        std::filesystem::path target = std::filesystem::read_symlink(file, ec);
        if (ec) return ec;
        file = target.is_absolute() ? target : file.parent_path() / target;
    }
    return std::make_error_code(std::errc::too_many_symbolic_link_levels);
}

std::error_code fill(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) return lastError();
        bytes.remove_prefix(written);
    }
    if (!FlushFileBuffers(file)) return lastError();
    return {};
}

std::filesystem::path folderOf(const std::filesystem::path& file) {
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

bool processHasEnded(DWORD pid) {
    const win32::KernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;
    return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
}

}  // namespace

std::error_code writeFileDurably(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::path file = path;
    if (std::error_code ec = resolveLinks(file)) return ec;

    const DWORD attributes = GetFileAttributesW(file.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND) return lastError();
    if (exists) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return std::make_error_code(std::errc::invalid_argument);
        if (attributes & FILE_ATTRIBUTE_READONLY) return std::make_error_code(std::errc::permission_denied);
    }

    static std::atomic<unsigned> counter{0};
    std::filesystem::path temporary = file;
    temporary +=
        std::wstring(kMarker) + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
    std::error_code ec;
    {
        const win32::KernelHandle out(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out) return lastError();
        ec = fill(out.get(), bytes);
    }
    if (!ec) {
        const BOOL moved = exists ? ReplaceFileW(file.c_str(), temporary.c_str(), nullptr,
                                                 REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                                  : MoveFileExW(temporary.c_str(), file.c_str(), MOVEFILE_WRITE_THROUGH);
        if (!moved) ec = lastError();
        // Not every ReplaceFileW carries the replaced file's attributes over
        // (Wine's does not); they are set again.
        if (!ec && exists) SetFileAttributesW(file.c_str(), attributes);
    }
    if (ec) DeleteFileW(temporary.c_str());
    return ec;
}

void removeLeftoverTemporaries(const std::filesystem::path& path) {
    std::filesystem::path file = path;
    if (resolveLinks(file)) return;
    const std::wstring prefix = file.filename().wstring() + std::wstring(kMarker);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folderOf(file), ec)) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        // "<pid>-<n>" after the marker; the name is ASCII from here on.
        std::string digits;
        for (size_t i = prefix.size(); i < name.size() && name[i] < 0x80; ++i)
            digits += static_cast<char>(name[i]);
        DWORD pid = 0;
        const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
        if (parsed.ec != std::errc() || parsed.ptr == digits.data() + digits.size() || *parsed.ptr != '-')
            continue;
        if (pid == GetCurrentProcessId() || !processHasEnded(pid)) continue;
        std::error_code ignored;
        std::filesystem::remove(entry.path(), ignored);
    }
}

}  // namespace t7
