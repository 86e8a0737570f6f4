#pragma once
// One wizard at a time on a machine: two wizards working on the same web
// server, registry and database server at once undo each other's work. The
// lock is taken before anything is read or written and held until the
// process ends, however it ends.
#include <filesystem>
#include <memory>
#include <string>

namespace t7 {

// The box a second wizard shows before it ends.
inline constexpr const wchar_t* kOtherWizardRunning =
    L"另一个安装向导正在这台服务器上运行，请等它结束后再运行本程序。";

// Holds the lock while it lives.
class IWizardLock {
public:
    virtual ~IWizardLock() = default;
};

enum class WizardLockState {
    Held,
    // Another wizard on the machine holds it.
    HeldElsewhere,
    // The lock cannot be made at all (for example the machine folder is
    // missing); the run goes on unlocked and meets that fault where it
    // touches the machine.
    Unavailable,
};

struct WizardLockResult {
    WizardLockState state = WizardLockState::Unavailable;
    // Set when Held.
    std::unique_ptr<IWizardLock> lock;
    // Unavailable: why, for diagnostics.
    std::wstring why;
};

// Takes the wizard lock of the machine: on Windows the machine itself (the
// folder is not used), elsewhere the machine folder `machineFolder`. Never
// waits. Child processes do not inherit it.
WizardLockResult takeWizardLock(const std::filesystem::path& machineFolder);

// The lock of the machine this process works on: the machine folder the
// platform's services use, or the machine itself on Windows.
WizardLockResult takeMachineWizardLock();

}  // namespace t7
