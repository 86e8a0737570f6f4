// The web server store contract over the applicationHost.config where IIS
// keeps it: below the system's own system directory. A file that is there
// already is put back afterwards.
#include <filesystem>

#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32WebServer.h"
#include "support/WebServerStoreContract.h"

namespace t7 {
namespace {

// Moves an existing configuration aside for the test and back afterwards.
class SystemConfigGuard {
public:
    SystemConfigGuard() : m_file(systemApplicationHostConfig(Win32FileSystem())) {
        m_backup = m_file;
        m_backup += L".t7test";
        std::error_code ec;
        m_hadFile = std::filesystem::exists(m_file, ec);
        if (m_hadFile) std::filesystem::rename(m_file, m_backup);
    }
    ~SystemConfigGuard() {
        std::error_code ec;
        std::filesystem::remove(m_file, ec);
        if (m_hadFile) std::filesystem::rename(m_backup, m_file, ec);
    }
    SystemConfigGuard(const SystemConfigGuard&) = delete;
    SystemConfigGuard& operator=(const SystemConfigGuard&) = delete;

    const std::filesystem::path& file() const { return m_file; }

private:
    std::filesystem::path m_file;
    std::filesystem::path m_backup;
    bool m_hadFile = false;
};

class SystemConfigHarness : private SystemConfigGuard, public ApplicationHostFileHarness {
public:
    SystemConfigHarness() : ApplicationHostFileHarness(SystemConfigGuard::file()) {}
};

INSTANTIATE_TYPED_TEST_SUITE_P(System, WebServerStoreContract, SystemConfigHarness);

TEST(Win32WebServerTest, TheProgramsStoreReadsTheSystemConfiguration) {
    SystemConfigHarness harness;
    const Win32FileSystem files;
    const auto store = makeWebServerStore(files, [] { return std::vector<std::wstring>{L"EXAMSRV"}; });
    std::vector<std::wstring> sites;
    for (const auto& child : store->bind(L"IIS://EXAMSRV/W3svc")->children()) {
        if (child->Class() == kWebServerClass) sites.push_back(child->ServerComment());
    }
    EXPECT_EQ(sites, (std::vector<std::wstring>{L"Default Web Site", L"Exam"}));
}

}  // namespace
}  // namespace t7
