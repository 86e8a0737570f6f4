#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "base/AppError.h"
#include "base/AppendFile.h"

namespace t7 {
namespace {

// The runtime's file errors, by the failure behind them.
AppError fileError(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return AppError(errnum::PathNotFound, L"Path not found");
        case EACCES:
        case EPERM:
        case EROFS:
            return AppError(errnum::PermissionDenied, L"Permission denied");
        case ENOSPC:
        case EDQUOT:
            return AppError(61, L"Disk full");
        case EISDIR:
            return AppError(75, L"Path/File access error");
        default:
            return AppError(57, L"Device I/O error");
    }
}

}  // namespace

AppendFile::AppendFile(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) throw fileError(errno);
    m_handle = fd;
    m_open = true;
}

AppendFile::~AppendFile() {
    if (m_open) ::close(static_cast<int>(m_handle));
}

void AppendFile::write(std::string_view bytes) {
    if (!m_open) throw AppError(52, L"Bad file name or number");
    while (!bytes.empty()) {
        const ssize_t n = ::write(static_cast<int>(m_handle), bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            throw fileError(errno);
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}

void AppendFile::close() {
    if (!m_open) return;
    m_open = false;
    if (::close(static_cast<int>(m_handle)) != 0) throw fileError(errno);
}

}  // namespace t7
