#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/Text.h"
#include "shell/PrivateFile.h"

namespace t7 {
namespace {

class PosixPrivateFile : public IPrivateFile {
public:
    explicit PosixPrivateFile(int fd) : m_fd(fd) {}
    ~PosixPrivateFile() override { ::close(m_fd); }
    PosixPrivateFile(const PosixPrivateFile&) = delete;
    PosixPrivateFile& operator=(const PosixPrivateFile&) = delete;

    bool append(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            bytes.remove_prefix(static_cast<size_t>(n));
        }
        return true;
    }

private:
    int m_fd;
};

}  // namespace

std::unique_ptr<IPrivateFile> createPrivateFile(const std::filesystem::path& file, std::wstring& why) {
    // O_NONBLOCK: a FIFO without a reader fails at once instead of waiting.
    // O_TRUNC waits until the file is known to be a regular one.
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        why = fromUtf8(file.string() + ": " + std::strerror(errno));
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        why = fromUtf8(file.string() + ": not a regular file");
        return nullptr;
    }
    // An existing file keeps its mode on open; restrict it before it is
    // emptied and written.
    if ((info.st_mode & 077) != 0 && ::fchmod(fd, info.st_mode & 0700) != 0) {
        why = fromUtf8(file.string() + ": " + std::strerror(errno));
        ::close(fd);
        return nullptr;
    }
    if (::ftruncate(fd, 0) != 0 || ::fcntl(fd, F_SETFL, 0) != 0) {
        why = fromUtf8(file.string() + ": " + std::strerror(errno));
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixPrivateFile>(fd);
}

}  // namespace t7
