#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "base/Text.h"
#include "platform/posix/UniqueFd.h"
#include "shell/PrivateFile.h"

namespace t7 {
namespace {

class PosixPrivateFile : public IPrivateFile {
public:
    explicit PosixPrivateFile(UniqueFd fd) : m_fd(std::move(fd)) {}

    bool append(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t n = ::write(m_fd.get(), bytes.data(), bytes.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            bytes.remove_prefix(static_cast<size_t>(n));
        }
        return true;
    }

private:
    UniqueFd m_fd;
};

}  // namespace

std::unique_ptr<IPrivateFile> createPrivateFile(const std::filesystem::path& file, std::wstring& why) {
    auto fail = [&](const char* reason) {
        why = fromUtf8(file.string() + ": " + reason);
        return nullptr;
    };
    // O_NONBLOCK: a FIFO without a reader fails at once instead of waiting.
    // O_TRUNC waits until the file is known to be a regular one.
    UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600));
    if (!fd) return fail(std::strerror(errno));
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return fail("not a regular file");
    // An existing file keeps its mode on open; restrict it before it is
    // emptied and written.
    if ((info.st_mode & 077) != 0 && ::fchmod(fd.get(), info.st_mode & 0700) != 0) {
        return fail(std::strerror(errno));
    }
    if (::ftruncate(fd.get(), 0) != 0 || ::fcntl(fd.get(), F_SETFL, 0) != 0)
        return fail(std::strerror(errno));
    return std::make_unique<PosixPrivateFile>(std::move(fd));
}

}  // namespace t7
