// writeFileDurably over POSIX calls: open/fsync/rename, then the folder's
// fsync, which is what makes a rename itself durable.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <string>

#include "base/DurableFile.h"

namespace t7 {
namespace {

// A temporary is "<name>.t7tmp-<pid>-<n>", so that a later run can tell
// whether the process that made it is still there.
constexpr std::string_view kMarker = ".t7tmp-";

std::error_code lastError() {
    return std::error_code(errno, std::generic_category());
}

// The file a path finally names, following symbolic links as open() does
// (a link whose target is missing names that target).
std::error_code resolveLinks(std::filesystem::path& file) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(file.c_str(), &st) != 0) return errno == ENOENT ? std::error_code() : lastError();
        if (!S_ISLNK(st.st_mode)) return {};
        std::error_code ec;
        std::filesystem::path target = std::filesystem::read_symlink(file, ec);
        if (ec) return ec;
        file = target.is_absolute() ? target : file.parent_path() / target;
    }
    return std::make_error_code(std::errc::too_many_symbolic_link_levels);
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::filesystem::path folderOf(const std::filesystem::path& file) {
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

std::error_code syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return lastError();
    std::error_code ec;
    if (::fsync(fd) != 0) ec = lastError();
    ::close(fd);
    return ec;
}

// Writes `bytes` into the new temporary `fd`, gives it the old file's
// owner and permissions and flushes it.
std::error_code fillTemporary(int fd, std::string_view bytes, const struct stat* old) {
    if (!writeAll(fd, bytes)) return lastError();
    if (old) {
        // The owner first: changing it clears set-user-ID bits, which the
        // permissions then restore.
        struct stat now;
        if (::fstat(fd, &now) != 0) return lastError();
        if ((now.st_uid != old->st_uid || now.st_gid != old->st_gid) &&
            ::fchown(fd, old->st_uid, old->st_gid) != 0)
            return lastError();
        if (::fchmod(fd, old->st_mode & 07777) != 0) return lastError();
    }
    if (::fsync(fd) != 0) return lastError();
    return {};
}

}  // namespace

std::error_code writeFileDurably(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::path file = path;
    if (std::error_code ec = resolveLinks(file)) return ec;

    struct stat old;
    const bool exists = ::stat(file.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return lastError();
    if (exists) {
        if (!S_ISREG(old.st_mode)) return std::make_error_code(std::errc::invalid_argument);
        // Read-only for everyone stays read-only, even for the superuser,
        // as the read-only attribute does on Windows.
        if ((old.st_mode & 0222) == 0) return std::make_error_code(std::errc::permission_denied);
        if (::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0) return lastError();
    }

    static std::atomic<unsigned> counter{0};
    std::filesystem::path temporary = file;
    temporary += std::string(kMarker) + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    // A new file gets the permissions a plain creation would give it; an
    // existing file's are set once the contents are in.
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : 0666);
    if (fd < 0) return lastError();
    std::error_code ec = fillTemporary(fd, bytes, exists ? &old : nullptr);
    if (::close(fd) != 0 && !ec) ec = lastError();
    if (!ec && ::rename(temporary.c_str(), file.c_str()) != 0) ec = lastError();
    if (ec) {
        ::unlink(temporary.c_str());
        return ec;
    }
    return syncFolder(folderOf(file));
}

void removeLeftoverTemporaries(const std::filesystem::path& path) {
    std::filesystem::path file = path;
    if (resolveLinks(file)) return;
    const std::string prefix = file.filename().string() + std::string(kMarker);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folderOf(file), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const char* digits = name.c_str() + prefix.size();
        pid_t pid = 0;
        const auto parsed = std::from_chars(digits, name.c_str() + name.size(), pid);
        if (parsed.ec != std::errc() || *parsed.ptr != '-' || pid <= 0) continue;
        if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
        std::error_code ignored;
        std::filesystem::remove(entry.path(), ignored);
    }
}

}  // namespace t7
