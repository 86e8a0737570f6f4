// The wizard lock on POSIX: an exclusive flock on <machine>/wizard.lock. The
// kernel drops it when the process ends, so a killed wizard never leaves the
// machine locked; the file itself stays, empty.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/Text.h"
#include "platform/machine/MachineFolder.h"
#include "shell/WizardLock.h"

namespace t7 {
namespace {

class PosixWizardLock : public IWizardLock {
public:
    explicit PosixWizardLock(int fd) : m_fd(fd) {}
    ~PosixWizardLock() override { ::close(m_fd); }
    PosixWizardLock(const PosixWizardLock&) = delete;
    PosixWizardLock& operator=(const PosixWizardLock&) = delete;

private:
    int m_fd;
};

}  // namespace

WizardLockResult takeWizardLock(const std::filesystem::path& machineFolder) {
    const std::filesystem::path file = MachineFolder(machineFolder).wizardLockFile();
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) {
        return {WizardLockState::Unavailable, nullptr, fromUtf8(file.string() + ": " + std::strerror(errno))};
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) return {WizardLockState::HeldElsewhere, nullptr, {}};
        return {WizardLockState::Unavailable, nullptr, fromUtf8(file.string() + ": " + std::strerror(error))};
    }
    return {WizardLockState::Held, std::make_unique<PosixWizardLock>(fd), {}};
}

}  // namespace t7
