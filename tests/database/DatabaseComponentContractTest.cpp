// The database component's contract on the embedded server in process.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "base/AppError.h"
#include "database/DatabaseComponent.h"
#include "platform/machine/MachineDatabaseComponent.h"
#include "platform/machine/MachineFolder.h"
#include "support/DatabaseComponentContract.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

// A fresh machine folder; the server is created on first use.
class MachineComponentEnvironment {
public:
    MachineComponentEnvironment()
        : m_app(MachineDatabaseOptions{MachineFolder(m_dir.path()).sqlServerFolder(),
                                       L"EXAMSRV",
                                       [] {
                                           return std::vector<std::wstring>{L"192.168.1.10", L"EXAMSRV"};
                                       },
                                       {}}) {}

    dmo::Application& application() { return m_app; }
    std::wstring serverName() const { return L"192.168.1.10"; }
    std::wstring adminLogin() const { return L"sa"; }
    std::wstring adminPassword() const { return L""; }

private:
    test::TempDir m_dir;
    MachineApplication m_app;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Machine, DatabaseComponentContract, MachineComponentEnvironment);

}  // namespace
}  // namespace t7
