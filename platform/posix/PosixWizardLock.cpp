// The wizard lock on POSIX: an exclusive flock on <machine>/wizard.lock. The
// kernel drops it when the process ends, so a killed wizard never leaves the
// machine locked; the file itself stays, empty.
#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstring>

#include "base/Text.h"
#include "platform/machine/MachineFolder.h"
#include "platform/posix/UniqueFd.h"
#include "shell/WizardLock.h"

namespace t7 {
namespace {

class PosixWizardLock : public IWizardLock {
public:
    explicit PosixWizardLock(UniqueFd fd) : m_fd(std::move(fd)) {}

private:
    UniqueFd m_fd;
};

}  // namespace

WizardLockResult takeWizardLock(const std::filesystem::path& machineFolder) {
    const std::filesystem::path file = MachineFolder(machineFolder).wizardLockFile();
    UniqueFd fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644));
    if (fd && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
        return {WizardLockState::Held, std::make_unique<PosixWizardLock>(std::move(fd)), {}};
    }
    const int error = errno;
    if (fd && error == EWOULDBLOCK) return {WizardLockState::HeldElsewhere, nullptr, {}};
    return {WizardLockState::Unavailable, nullptr, fromUtf8(file.string() + ": " + std::strerror(error))};
}

WizardLockResult takeMachineWizardLock() { return takeWizardLock(MachineFolder::fromEnvironment().root()); }

}  // namespace t7
