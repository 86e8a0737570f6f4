#include "support/FakeWebServerStore.h"

#include <optional>

#include "base/AppError.h"
#include "base/Text.h"

namespace t7::test {

void FakeFolders::deleteFile(const std::wstring& path) {
    throw AppError(53, L"File not found: " + path);
}

void FakeFolders::moveFile(const std::wstring& from, const std::wstring&) {
    throw AppError(53, L"File not found: " + from);
}

std::filesystem::path FakeFolders::nativePath(const std::wstring& path) const {
    return toUtf8(path);
}

namespace {

class FakeDirObject : public IWebVirtualDir {
public:
    FakeDirObject(FakeWebServerStore& store, size_t child, std::wstring name, bool isNew)
        : m_store(store), m_child(child), m_name(std::move(name)), m_isNew(isNew) {}

    std::shared_ptr<IWebVirtualDir> Create(const std::wstring& className, const std::wstring& name) override {
        m_store.check(L"Create");
        requireChildOfRoot(className, name);
        if (site().directories.count(asciiLower(name))) {
            throw AppError(weberr::AlreadyExists, L"exists: " + name);
        }
        return std::make_shared<FakeDirObject>(m_store, m_child, name, true);
    }

    std::shared_ptr<IWebVirtualDir> GetObject(const std::wstring& className,
                                              const std::wstring& name) override {
        m_store.check(L"GetObject");
        requireChildOfRoot(className, name);
        if (!site().directories.count(asciiLower(name)))
            throw AppError(weberr::PathNotFound, L"missing: " + name);
        return std::make_shared<FakeDirObject>(m_store, m_child, name, false);
    }

    void setAccessRead(bool allowed) override {
        m_store.check(L"setAccessRead");
        m_read = allowed;
    }
    void setAccessScript(bool allowed) override {
        m_store.check(L"setAccessScript");
        m_script = allowed;
    }
    void setPath(const std::wstring& physicalPath) override {
        m_store.check(L"setPath");
        if (!m_store.fileSystem().folderExists(physicalPath)) {
            throw AppError(weberr::PathNotFound, L"no folder " + physicalPath);
        }
        m_path = physicalPath;
    }
    void setAppFriendlyName(const std::wstring& name) override {
        m_store.check(L"setAppFriendlyName");
        m_friendlyName = name;
    }
    void AppCreate2(int32_t mode) override {
        m_store.check(L"AppCreate2");
        if (mode < 0 || mode > 2) throw AppError(weberr::InvalidArgument, L"mode");
        m_application = true;
    }
    void SetInfo() override {
        m_store.check(L"SetInfo");
        if (m_name.empty()) return;  // the root keeps no settings here
        auto& directories = site().directories;
        const std::wstring key = asciiLower(m_name);
        if (m_isNew && directories.count(key)) throw AppError(weberr::AlreadyExists, L"exists: " + m_name);
        if (m_isNew && !m_path) throw AppError(weberr::InvalidArgument, L"no path: " + m_name);
        FakeDirectory& saved = directories[key];
        if (m_path) saved.path = *m_path;
        if (m_read) saved.accessRead = *m_read;
        if (m_script) saved.accessScript = *m_script;
        if (m_friendlyName) saved.friendlyName = *m_friendlyName;
        saved.application = saved.application || m_application;
        m_isNew = false;
    }

private:
    FakeChild& site() { return m_store.children.at(m_child); }

    void requireChildOfRoot(const std::wstring& className, const std::wstring& name) {
        if (!equalsIgnoreCase(className, kWebVirtualDirClass) || name.empty() || !m_name.empty()) {
            throw AppError(weberr::InvalidArgument, L"cannot create " + name);
        }
    }

    FakeWebServerStore& m_store;
    size_t m_child;
    std::wstring m_name;  // empty for the root
    bool m_isNew;
    std::optional<bool> m_read, m_script;
    std::optional<std::wstring> m_path, m_friendlyName;
    bool m_application = false;
};

class FakeObject : public IWebObject {
public:
    FakeObject(FakeWebServerStore& store, size_t child, std::wstring computer)
        : m_store(store), m_child(child), m_computer(std::move(computer)) {}

    std::wstring Class() override {
        m_store.check(L"Class");
        return child().className;
    }
    std::wstring ServerComment() override {
        requireSite(L"ServerComment");
        return child().comment;
    }
    ServerBindingsValue ServerBindings() override {
        requireSite(L"ServerBindings");
        return child().bindings;
    }
    std::wstring ADsPath() override {
        requireSite(L"ADsPath");
        return L"IIS://" + m_computer + L"/W3SVC/" + child().id;
    }
    std::shared_ptr<IWebVirtualDir> GetObject(const std::wstring& className,
                                              const std::wstring& name) override {
        requireSite(L"GetObject");
        if (!equalsIgnoreCase(className, kWebVirtualDirClass) || !equalsIgnoreCase(name, L"Root")) {
            throw AppError(weberr::PathNotFound, L"no " + name);
        }
        return std::make_shared<FakeDirObject>(m_store, m_child, L"", false);
    }
    void Start() override {
        requireSite(L"Start");
        child().started = true;
    }

private:
    FakeChild& child() { return m_store.children.at(m_child); }
    void requireSite(const std::wstring& operation) {
        m_store.check(operation);
        if (child().className != kWebServerClass) {
            throw AppError(weberr::NotSupported, L"Object doesn't support " + operation);
        }
    }

    FakeWebServerStore& m_store;
    size_t m_child;
    std::wstring m_computer;
};

class FakeService : public IWebService {
public:
    FakeService(FakeWebServerStore& store, std::wstring computer)
        : m_store(store), m_computer(std::move(computer)) {}
    std::vector<std::shared_ptr<IWebObject>> children() override {
        m_store.check(L"children");
        std::vector<std::shared_ptr<IWebObject>> result;
        for (size_t i = 0; i < m_store.children.size(); ++i) {
            result.push_back(std::make_shared<FakeObject>(m_store, i, m_computer));
        }
        return result;
    }

private:
    FakeWebServerStore& m_store;
    std::wstring m_computer;
};

}  // namespace

std::shared_ptr<IWebService> FakeWebServerStore::bind(const std::wstring& path) {
    check(L"bind");
    const std::wstring prefix = L"IIS://", suffix = L"/W3svc";
    if (path.size() < prefix.size() + suffix.size() || path.rfind(prefix, 0) != 0 ||
        !equalsIgnoreCase(path.substr(path.size() - suffix.size()), suffix)) {
        throw AppError(weberr::InvalidSyntax, L"Invalid path " + path);
    }
    const std::wstring computer = path.substr(prefix.size(), path.size() - prefix.size() - suffix.size());
    bool known = false;
    for (const std::wstring& name : reachable)
        known = known || (!computer.empty() && equalsIgnoreCase(name, computer));
    if (!known) throw AppError(weberr::BadNetPath, L"unreachable " + computer);
    return std::make_shared<FakeService>(*this, computer);
}

FakeChild& FakeWebServerStore::addSite(const std::wstring& comment, ServerBindingsValue bindings) {
    FakeChild site;
    site.comment = comment;
    site.bindings = std::move(bindings);
    int id = 1;
    for (const FakeChild& child : children) id += child.className == kWebServerClass ? 1 : 0;
    site.id = std::to_wstring(id);
    children.push_back(std::move(site));
    return children.back();
}

FakeChild& FakeWebServerStore::addOther(const std::wstring& className) {
    FakeChild other;
    other.className = className;
    children.push_back(std::move(other));
    return children.back();
}

void FakeWebServerStore::check(const std::wstring& operation) {
    ++m_calls[operation];
    if (m_failing.count(operation)) throw AppError(weberr::InvalidData, L"told to fail at " + operation);
}

int FakeWebServerStore::calls(const std::wstring& operation) const {
    auto it = m_calls.find(operation);
    return it == m_calls.end() ? 0 : it->second;
}

}  // namespace t7::test
