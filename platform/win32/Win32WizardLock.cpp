// The wizard lock on Windows: a named mutex in the global namespace, so that
// wizards of every session on the machine see the same one. The system
// releases it when the process ends, however it ends.
#include <windows.h>

#include "shell/WizardLock.h"

namespace t7 {
namespace {

constexpr const wchar_t* kMutexName = L"Global\\T7Setup.WizardLock";

class Win32WizardLock : public IWizardLock {
public:
    explicit Win32WizardLock(HANDLE mutex) : m_mutex(mutex) {}
    ~Win32WizardLock() override { CloseHandle(m_mutex); }
    Win32WizardLock(const Win32WizardLock&) = delete;
    Win32WizardLock& operator=(const Win32WizardLock&) = delete;

private:
    HANDLE m_mutex;
};

}  // namespace

WizardLockResult takeWizardLock(const std::filesystem::path&) {
    WizardLockResult result;
    // Not inheritable: child processes do not hold it.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kMutexName);
    if (mutex == nullptr) {
        result.state = WizardLockState::Unavailable;
        result.why = L"CreateMutexW failed with error " + std::to_wstring(GetLastError());
        return result;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        result.state = WizardLockState::HeldElsewhere;
        return result;
    }
    result.state = WizardLockState::Held;
    result.lock = std::make_unique<Win32WizardLock>(mutex);
    return result;
}

WizardLockResult takeMachineWizardLock() {
    return takeWizardLock({});
}

}  // namespace t7
