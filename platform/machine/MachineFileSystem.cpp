#include "platform/machine/MachineFileSystem.h"

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <vector>

#include "base/AppError.h"
#include "base/Text.h"

namespace t7 {
namespace {

constexpr int32_t kFileAlreadyExists = fserr::FileAlreadyExists;

[[noreturn]] void raise(int32_t number) {
    raiseFileSystemError(number);
}

[[noreturn]] void raiseFor(const std::error_code& ec, int32_t otherwise) {
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
        ec == std::errc::read_only_file_system) {
        raise(errnum::PermissionDenied);
    }
    raise(otherwise);
}

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::vector<std::wstring> components(std::wstring_view path) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !isSeparator(path[end])) ++end;
        std::wstring part(path.substr(start, end - start));
        if (part == L"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    return parts;
}

// The entry of `folder` named `name`: the exact name when it exists, else
// the first entry (in name order) that matches it ignoring case, else the
// name as given.
std::filesystem::path resolveComponent(const std::filesystem::path& folder, const std::wstring& name) {
    const std::string exact = toUtf8(name);
    std::error_code ec;
    if (std::filesystem::symlink_status(folder / exact, ec).type() != std::filesystem::file_type::not_found) {
        return folder / exact;
    }
    std::string best;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (equalsIgnoreCase(fromUtf8(entry), name) && (best.empty() || entry < best)) best = entry;
    }
    return folder / (best.empty() ? exact : best);
}

}  // namespace

std::filesystem::path MachineFileSystem::nativePath(const std::wstring& path) const {
    std::filesystem::path base;
    std::wstring_view rest = path;
    if (rest.size() >= 2 && rest[1] == L':' &&
        ((rest[0] >= L'a' && rest[0] <= L'z') || (rest[0] >= L'A' && rest[0] <= L'Z'))) {
        base = m_machine.driveFolder(static_cast<char>(rest[0]));
        rest.remove_prefix(2);
    } else if (!rest.empty() && isSeparator(rest[0])) {
        base = "/";
    } else {
        base = std::filesystem::current_path();
    }
    std::vector<std::wstring> parts = components(rest);
    // Drive C:'s Windows folder is the machine's own Windows folder.
    if (base == m_machine.driveFolder('c') && !parts.empty() && equalsIgnoreCase(parts[0], L"Windows")) {
        base = m_machine.root();
    }
    std::filesystem::path native = base;
    for (const std::wstring& part : parts) native = resolveComponent(native, part);
    return native;
}

bool MachineFileSystem::folderExists(const std::wstring& path) const {
    std::error_code ec;
    return std::filesystem::is_directory(nativePath(path), ec);
}

bool MachineFileSystem::fileExists(const std::wstring& path) const {
    std::error_code ec;
    return std::filesystem::is_regular_file(nativePath(path), ec);
}

void MachineFileSystem::createFolder(const std::wstring& path) {
    std::filesystem::path native = nativePath(path);
    std::error_code ec;
    if (std::filesystem::exists(native, ec)) raise(kFileAlreadyExists);
    if (!std::filesystem::is_directory(native.parent_path(), ec)) raise(errnum::PathNotFound);
    if (!std::filesystem::create_directory(native, ec) && ec) raiseFor(ec, errnum::PathNotFound);
}

void MachineFileSystem::deleteFile(const std::wstring& path) {
    std::filesystem::path native = nativePath(path);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(native, ec)) raise(errnum::FileNotFound);
    if (!std::filesystem::remove(native, ec)) raiseFor(ec, errnum::FileNotFound);
}

void MachineFileSystem::moveFile(const std::wstring& from, const std::wstring& to) {
    std::filesystem::path source = nativePath(from);
    std::filesystem::path target = nativePath(to);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(source, ec)) raise(errnum::FileNotFound);
    if (std::filesystem::exists(target, ec)) raise(kFileAlreadyExists);
    if (!std::filesystem::is_directory(target.parent_path(), ec)) raise(errnum::PathNotFound);
    std::filesystem::rename(source, target, ec);
    if (ec) raiseFor(ec, errnum::PathNotFound);
}

std::wstring MachineFileSystem::systemDirectory() const {
    return L"C:\\WINDOWS\\system32";
}

}  // namespace t7
