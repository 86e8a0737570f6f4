// The web server store contract over an applicationHost.config in a
// scratch folder, and over the in-memory store the page tests use.
#include "support/TestPaths.h"
#include "support/WebServerStoreContract.h"

namespace t7 {
namespace {

struct ScratchFolder {
    test::TempDir dir;
};

class ApplicationHostHarness : private ScratchFolder, public ApplicationHostFileHarness {
public:
    ApplicationHostHarness() : ApplicationHostFileHarness(dir.path() / "applicationHost.config") {}
};

class FakeStoreHarness {
public:
    FakeStoreHarness() {
        folders.folders = {L"D:\\Exam\\WebRoot", L"D:\\Other"};
        m_store.reachable.insert({L"192.168.1.10", L"EXAMSRV"});
        m_store.addOther(L"IIsApplicationPools");
        m_store.addSite(L"Default Web Site", std::vector<std::wstring>{L":80:"});
        m_store.addSite(L"Exam", std::vector<std::wstring>{L"192.168.1.10:8080:examhost"});
    }
    IWebServerStore& store() { return m_store; }

    std::optional<SavedDirectory> saved(const std::wstring& siteName, const std::wstring& name) {
        for (const auto& child : m_store.children) {
            if (child.comment != siteName) continue;
            auto it = child.directories.find(asciiLower(name));
            if (it == child.directories.end()) return std::nullopt;
            const auto& d = it->second;
            return SavedDirectory{d.path, d.application, d.accessRead, d.accessScript};
        }
        return std::nullopt;
    }
    bool started(const std::wstring& siteName) {
        for (const auto& child : m_store.children) {
            if (child.comment == siteName) return child.started;
        }
        return false;
    }

private:
    test::FakeFolders folders;
    test::FakeWebServerStore m_store{folders};
};

using Harnesses = ::testing::Types<ApplicationHostHarness, FakeStoreHarness>;
INSTANTIATE_TYPED_TEST_SUITE_P(Portable, WebServerStoreContract, Harnesses);

}  // namespace
}  // namespace t7
