// The wizard lock on Windows: one machine-wide named mutex, whatever
// folder the caller names.
#include <gtest/gtest.h>

#include "shell/WizardLock.h"

namespace t7 {
namespace {

TEST(Win32WizardLockTest, OneWizardPerMachineUntilItLetsGo) {
    WizardLockResult first = takeMachineWizardLock();
    ASSERT_EQ(first.state, WizardLockState::Held) << std::string(first.why.begin(), first.why.end());
    ASSERT_TRUE(first.lock);
    // The folder does not matter: the machine is the one the system runs.
    WizardLockResult second = takeWizardLock("C:\\elsewhere");
    EXPECT_EQ(second.state, WizardLockState::HeldElsewhere);
    EXPECT_FALSE(second.lock);
    // Refusing the second does not release the first.
    EXPECT_EQ(takeMachineWizardLock().state, WizardLockState::HeldElsewhere);
    first.lock.reset();
    WizardLockResult third = takeMachineWizardLock();
    EXPECT_EQ(third.state, WizardLockState::Held);
}

}  // namespace
}  // namespace t7
