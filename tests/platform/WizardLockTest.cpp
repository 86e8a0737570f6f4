#include <gtest/gtest.h>

#include "shell/WizardLock.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

TEST(WizardLockTest, OneHolderPerMachineFolderUntilItLetsGo) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "a");
    std::filesystem::create_directories(dir.path() / "b");
    WizardLockResult first = takeWizardLock(dir.path() / "a");
    ASSERT_EQ(first.state, WizardLockState::Held) << std::string(first.why.begin(), first.why.end());
    EXPECT_EQ(takeWizardLock(dir.path() / "a").state, WizardLockState::HeldElsewhere);
    // Another machine folder is another machine.
    EXPECT_EQ(takeWizardLock(dir.path() / "b").state, WizardLockState::Held);
    first.lock.reset();
    EXPECT_EQ(takeWizardLock(dir.path() / "a").state, WizardLockState::Held);
}

TEST(WizardLockTest, AMissingMachineFolderLeavesTheRunUnlocked) {
    test::TempDir dir;
    const WizardLockResult result = takeWizardLock(dir.path() / "absent");
    EXPECT_EQ(result.state, WizardLockState::Unavailable);
    EXPECT_FALSE(result.lock);
    EXPECT_FALSE(result.why.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "absent"));
}

}  // namespace
}  // namespace t7
