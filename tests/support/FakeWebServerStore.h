#pragma once
// An in-memory web server store for tests of the first page. It holds
// children of any class and bindings in either form (list or single string),
// and it can be told to fail at a named operation ("bind", "children",
// "GetObject", "Start", "Create", "setPath", "AppCreate2", "SetInfo", ...).
// It keeps the same contract as the store over applicationHost.config.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/FileSystem.h"
#include "web/WebServerStore.h"

namespace t7::test {

// A file system whose folders are a fixed set of wizard paths (exact text).
class FakeFolders : public IFileSystem {
public:
    std::set<std::wstring> folders;

    bool folderExists(const std::wstring& path) const override { return folders.count(path) > 0; }
    void createFolder(const std::wstring& path) override { folders.insert(path); }
    bool fileExists(const std::wstring&) const override { return false; }
    void deleteFile(const std::wstring& path) override;
    void moveFile(const std::wstring& from, const std::wstring&) override;
    std::wstring systemDirectory() const override { return L"C:\\WINDOWS\\system32"; }
    std::filesystem::path nativePath(const std::wstring& path) const override;
};

struct FakeDirectory {
    std::wstring path;
    bool application = false;
    bool accessRead = false;
    bool accessScript = false;
    std::wstring friendlyName;
};

struct FakeChild {
    std::wstring className = kWebServerClass;
    std::wstring comment;
    ServerBindingsValue bindings = std::vector<std::wstring>{};
    std::wstring id;
    bool started = false;
    // Saved directories below the root, by lower-case name.
    std::map<std::wstring, FakeDirectory> directories;
};

class FakeWebServerStore : public IWebServerStore {
public:
    explicit FakeWebServerStore(const IFileSystem& fileSystem) : m_fileSystem(fileSystem) {}

    std::shared_ptr<IWebService> bind(const std::wstring& path) override;

    // Adds a site with the next id and the given bindings.
    FakeChild& addSite(const std::wstring& comment, ServerBindingsValue bindings);
    FakeChild& addOther(const std::wstring& className);

    // Every later call of that operation raises.
    void failAt(const std::wstring& operation) { m_failing.insert(operation); }
    // Raises when `operation` was told to fail; counts the call.
    void check(const std::wstring& operation);
    int calls(const std::wstring& operation) const;

    std::vector<FakeChild> children;
    // Computers that can be bound (compared without case).
    std::set<std::wstring> reachable{L"localhost", L"127.0.0.1", L"."};
    const IFileSystem& fileSystem() const { return m_fileSystem; }

private:
    const IFileSystem& m_fileSystem;
    std::set<std::wstring> m_failing;
    std::map<std::wstring, int> m_calls;
};

}  // namespace t7::test
