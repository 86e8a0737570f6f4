#include "platform/machine/ApplicationHostStore.h"

#include <optional>

#include "base/AppError.h"
#include "base/Text.h"
#include "platform/machine/ApplicationHostConfig.h"

namespace t7 {

struct ApplicationHostStore::Context {
    std::filesystem::path configFile;
    const IFileSystem& fileSystem;
    std::function<std::vector<std::wstring>()> localNames;
};

namespace {

using Context = ApplicationHostStore::Context;
using Config = ApplicationHostConfig;

[[noreturn]] void notSupported(const std::wstring& what) {
    throw AppError(weberr::NotSupported, L"Object doesn't support this property or method: " + what);
}

void requireDirectoryClass(const std::wstring& className) {
    if (!equalsIgnoreCase(className, kWebVirtualDirClass)) {
        throw AppError(weberr::InvalidArgument, L"Unknown class " + className);
    }
}

void requireUsableName(const std::wstring& name) {
    bool usable = !name.empty() && name.find_first_not_of(L'.') != std::wstring::npos;
    for (wchar_t c : name) {
        if (c < 32 || std::wstring_view(L"/\\?*:<>|\"%").find(c) != std::wstring_view::npos) usable = false;
    }
    if (!usable) throw AppError(weberr::InvalidArgument, L"Invalid directory name '" + name + L"'");
}

// A site is found again in a freshly loaded file by its id (its name when it
// has none).
pugi::xml_node locateSite(const Config& config, const std::wstring& id, const std::wstring& name) {
    for (pugi::xml_node site : config.sites()) {
        if (id.empty() ? equalsIgnoreCase(Config::siteName(site), name) : Config::siteId(site) == id)
            return site;
    }
    throw AppError(weberr::PathNotFound, L"The site " + name + L" no longer exists");
}

// Where a directory path ("/" or "/t7") lives in a site: as an application
// of its own, or as a virtual directory of the application holding it.
struct DirectoryPlace {
    pugi::xml_node application;       // the application itself, or the one holding it
    pugi::xml_node virtualDirectory;  // the element carrying physicalPath
    bool isApplication = false;
};

std::wstring relativeTo(pugi::xml_node application, const std::wstring& path) {
    std::wstring appPath = fromUtf8(application.attribute("path").value());
    if (appPath == L"/") return path;
    return path.size() > appPath.size() ? path.substr(appPath.size()) : L"/";
}

std::optional<DirectoryPlace> findDirectory(pugi::xml_node site, const std::wstring& path) {
    if (pugi::xml_node application = Config::findApplication(site, path)) {
        return DirectoryPlace{application, Config::findVirtualDirectory(application, L"/"), true};
    }
    pugi::xml_node holder = Config::enclosingApplication(site, path);
    if (pugi::xml_node directory = Config::findVirtualDirectory(holder, relativeTo(holder, path))) {
        return DirectoryPlace{holder, directory, false};
    }
    return std::nullopt;
}

std::wstring joinPath(const std::wstring& parent, const std::wstring& name) {
    return parent == L"/" ? L"/" + name : parent + L"/" + name;
}

// Access policy flags in the order IIS writes them.
constexpr const wchar_t* kPolicyFlags[] = {L"Read",         L"Write",           L"Execute",
                                           L"Source",       L"Script",          L"NoRemoteWrite",
                                           L"NoRemoteRead", L"NoRemoteExecute", L"NoRemoteScript"};

std::wstring composePolicy(const std::wstring& current, std::optional<bool> read,
                           std::optional<bool> script) {
    std::vector<std::wstring> present;
    size_t start = 0;
    while (start <= current.size()) {
        size_t comma = current.find(L',', start);
        std::wstring flag =
            current.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
        flag.erase(0, flag.find_first_not_of(L' '));
        flag.erase(flag.find_last_not_of(L' ') + 1);
        if (!flag.empty()) present.push_back(flag);
        if (comma == std::wstring::npos) break;
        start = comma + 1;
    }
    auto has = [&](const wchar_t* flag) {
        for (const auto& p : present) {
            if (equalsIgnoreCase(p, flag)) return true;
        }
        return false;
    };
    std::wstring result;
    for (const wchar_t* flag : kPolicyFlags) {
        bool on = has(flag);
        if (std::wstring_view(flag) == L"Read" && read) on = *read;
        if (std::wstring_view(flag) == L"Script" && script) on = *script;
        if (!on) continue;
        if (!result.empty()) result += L", ";
        result += flag;
    }
    return result.empty() ? L"None" : result;
}

class OtherObject : public IWebObject {
public:
    explicit OtherObject(std::wstring className) : m_class(std::move(className)) {}
    std::wstring Class() override { return m_class; }
    std::wstring ServerComment() override { notSupported(L"ServerComment"); }
    ServerBindingsValue ServerBindings() override { notSupported(L"ServerBindings"); }
    std::wstring ADsPath() override { notSupported(L"ADsPath"); }
    std::shared_ptr<IWebVirtualDir> GetObject(const std::wstring&, const std::wstring&) override {
        notSupported(L"GetObject");
    }
    void Start() override { notSupported(L"Start"); }

private:
    std::wstring m_class;
};

class DirectoryObject : public IWebVirtualDir {
public:
    DirectoryObject(std::shared_ptr<Context> context, std::wstring siteId, std::wstring siteName,
                    std::wstring path, bool isNew)
        : m_context(std::move(context)),
          m_siteId(std::move(siteId)),
          m_siteName(std::move(siteName)),
          m_path(std::move(path)),
          m_isNew(isNew) {}

    std::shared_ptr<IWebVirtualDir> Create(const std::wstring& className, const std::wstring& name) override {
        requireDirectoryClass(className);
        requireUsableName(name);
        Config config = Config::load(m_context->configFile);
        pugi::xml_node site = locateSite(config, m_siteId, m_siteName);
        requireSaved(site);
        const std::wstring path = joinPath(m_path, name);
        if (findDirectory(site, path)) {
            throw AppError(weberr::AlreadyExists,
                           L"The directory " + path + L" of " + m_siteName + L" exists");
        }
        return std::make_shared<DirectoryObject>(m_context, m_siteId, m_siteName, path, true);
    }

    std::shared_ptr<IWebVirtualDir> GetObject(const std::wstring& className,
                                              const std::wstring& name) override {
        requireDirectoryClass(className);
        requireUsableName(name);
        Config config = Config::load(m_context->configFile);
        pugi::xml_node site = locateSite(config, m_siteId, m_siteName);
        requireSaved(site);
        const std::wstring path = joinPath(m_path, name);
        std::optional<DirectoryPlace> place = findDirectory(site, path);
        if (!place)
            throw AppError(weberr::PathNotFound, L"There is no directory " + path + L" in " + m_siteName);
        // Names compare without case; keep the spelling the file has.
        const std::wstring holderPath = fromUtf8(place->application.attribute("path").value());
        const std::wstring stored = place->isApplication
                                        ? holderPath
                                        : (holderPath == L"/" ? std::wstring() : holderPath) +
                                              fromUtf8(place->virtualDirectory.attribute("path").value());
        return std::make_shared<DirectoryObject>(m_context, m_siteId, m_siteName, stored, false);
    }

    void setAccessRead(bool allowed) override { m_accessRead = allowed; }
    void setAccessScript(bool allowed) override { m_accessScript = allowed; }

    void setPath(const std::wstring& physicalPath) override {
        if (physicalPath.empty() || !m_context->fileSystem.folderExists(physicalPath)) {
            throw AppError(weberr::PathNotFound, L"The folder " + physicalPath + L" does not exist");
        }
        // The folder as this machine's file system names it: the same text on
        // Windows, the native folder of a machine folder elsewhere.
        m_physicalPath = fromUtf8(m_context->fileSystem.nativePath(physicalPath).string());
    }

    // IIS 7 names an application by its path; there is nowhere to save this.
    void setAppFriendlyName(const std::wstring&) override {}

    void AppCreate2(int32_t mode) override {
        if (mode < 0 || mode > 2) {
            throw AppError(weberr::InvalidArgument, L"Invalid application mode " + std::to_wstring(mode));
        }
        m_makeApplication = true;
    }

    void SetInfo() override {
        Config config = Config::load(m_context->configFile);
        pugi::xml_node site = locateSite(config, m_siteId, m_siteName);
        std::optional<DirectoryPlace> place = findDirectory(site, m_path);
        if (m_isNew && place) {
            throw AppError(weberr::AlreadyExists,
                           L"The directory " + m_path + L" of " + m_siteName + L" exists");
        }
        if (!m_isNew && !place) {
            throw AppError(weberr::PathNotFound,
                           L"The directory " + m_path + L" of " + m_siteName + L" is gone");
        }
        if (m_isNew && !m_physicalPath) {
            throw AppError(weberr::InvalidArgument, L"The directory " + m_path + L" has no path");
        }

        if (!place) {
            place = m_makeApplication ? addApplication(site, *m_physicalPath)
                                      : addVirtualDirectory(site, *m_physicalPath);
        } else if (m_makeApplication && !place->isApplication) {
            std::wstring physicalPath =
                m_physicalPath ? *m_physicalPath
                               : fromUtf8(place->virtualDirectory.attribute("physicalPath").value());
            Config::removeElement(place->virtualDirectory);
            place = addApplication(site, physicalPath);
        } else if (m_physicalPath) {
            pugi::xml_node directory = place->virtualDirectory;
            if (!directory) {
                directory = Config::insertElement(place->application, "virtualDirectory");
                directory.append_attribute("path") = "/";
            }
            pugi::xml_attribute attribute = directory.attribute("physicalPath");
            if (!attribute) attribute = directory.append_attribute("physicalPath");
            attribute = toUtf8(*m_physicalPath).c_str();
        }

        if (m_accessRead || m_accessScript) {
            const std::wstring location = Config::siteName(site) + (m_path == L"/" ? L"" : m_path);
            config.setAccessPolicy(location, composePolicy(config.accessPolicy(location).value_or(L"Read"),
                                                           m_accessRead, m_accessScript));
        }
        config.save(m_context->configFile);
        m_isNew = false;
    }

private:
    void requireSaved(pugi::xml_node site) const {
        if (m_isNew || !findDirectory(site, m_path)) {
            throw AppError(weberr::PathNotFound,
                           L"The directory " + m_path + L" of " + m_siteName + L" is not saved");
        }
    }

    DirectoryPlace addApplication(pugi::xml_node site, const std::wstring& physicalPath) {
        pugi::xml_node lastApplication;
        for (pugi::xml_node application : site.children("application")) lastApplication = application;
        pugi::xml_node application = Config::insertElement(site, "application", lastApplication);
        application.append_attribute("path") = toUtf8(m_path).c_str();
        pugi::xml_node directory = Config::insertElement(application, "virtualDirectory");
        directory.append_attribute("path") = "/";
        directory.append_attribute("physicalPath") = toUtf8(physicalPath).c_str();
        return {application, directory, true};
    }

    DirectoryPlace addVirtualDirectory(pugi::xml_node site, const std::wstring& physicalPath) {
        pugi::xml_node holder = Config::enclosingApplication(site, m_path);
        if (!holder) {
            throw AppError(weberr::PathNotFound, L"The site " + m_siteName + L" has no root application");
        }
        pugi::xml_node directory = Config::insertElement(holder, "virtualDirectory");
        directory.append_attribute("path") = toUtf8(relativeTo(holder, m_path)).c_str();
        directory.append_attribute("physicalPath") = toUtf8(physicalPath).c_str();
        return {holder, directory, false};
    }

    std::shared_ptr<Context> m_context;
    std::wstring m_siteId;
    std::wstring m_siteName;
    std::wstring m_path;
    bool m_isNew;
    std::optional<bool> m_accessRead;
    std::optional<bool> m_accessScript;
    std::optional<std::wstring> m_physicalPath;
    bool m_makeApplication = false;
};

class SiteObject : public IWebObject {
public:
    SiteObject(std::shared_ptr<Context> context, const std::wstring& computer, pugi::xml_node site)
        : m_context(std::move(context)),
          m_id(Config::siteId(site)),
          m_name(Config::siteName(site)),
          m_adsPath(L"IIS://" + computer + L"/W3SVC/" + m_id) {
        std::vector<std::wstring> http;
        for (const SiteBinding& binding : Config::bindings(site)) {
            if (!equalsIgnoreCase(binding.protocol, L"http")) continue;
            std::wstring text = binding.bindingInformation;
            if (text.rfind(L"*:", 0) == 0) text.erase(0, 1);
            http.push_back(text);
        }
        // A site without an http binding has an empty ServerBindings value.
        if (http.empty()) {
            m_bindings = std::wstring();
        } else {
            m_bindings = std::move(http);
        }
    }

    std::wstring Class() override { return kWebServerClass; }
    std::wstring ServerComment() override { return m_name; }
    ServerBindingsValue ServerBindings() override { return m_bindings; }
    std::wstring ADsPath() override { return m_adsPath; }

    std::shared_ptr<IWebVirtualDir> GetObject(const std::wstring& className,
                                              const std::wstring& name) override {
        requireDirectoryClass(className);
        if (!equalsIgnoreCase(name, L"Root")) {
            throw AppError(weberr::PathNotFound, L"There is no object " + name + L" in " + m_adsPath);
        }
        return std::make_shared<DirectoryObject>(m_context, m_id, m_name, L"/", false);
    }

    void Start() override {
        Config config = Config::load(m_context->configFile);
        pugi::xml_node site = locateSite(config, m_id, m_name);
        if (Config::bindings(site).empty()) {
            throw AppError(weberr::InvalidData, L"The site " + m_name + L" has no binding and cannot start");
        }
        pugi::xml_attribute autoStart = site.attribute("serverAutoStart");
        if (autoStart && std::string_view(autoStart.value()) == "true") return;
        if (!autoStart) autoStart = site.append_attribute("serverAutoStart");
        autoStart = "true";
        config.save(m_context->configFile);
    }

private:
    std::shared_ptr<Context> m_context;
    std::wstring m_id;
    std::wstring m_name;
    std::wstring m_adsPath;
    ServerBindingsValue m_bindings;
};

class ServiceObject : public IWebService {
public:
    explicit ServiceObject(std::vector<std::shared_ptr<IWebObject>> children)
        : m_children(std::move(children)) {}
    std::vector<std::shared_ptr<IWebObject>> children() override { return m_children; }

private:
    std::vector<std::shared_ptr<IWebObject>> m_children;
};

bool isLocal(const Context& context, const std::wstring& computer) {
    for (const wchar_t* name : {L"localhost", L"127.0.0.1", L"."}) {
        if (equalsIgnoreCase(computer, name)) return true;
    }
    if (context.localNames) {
        for (const std::wstring& name : context.localNames()) {
            if (!name.empty() && equalsIgnoreCase(computer, name)) return true;
        }
    }
    return false;
}

}  // namespace

ApplicationHostStore::ApplicationHostStore(std::filesystem::path configFile, const IFileSystem& fileSystem,
                                           std::function<std::vector<std::wstring>()> localNames)
    : m_context(
          std::make_shared<Context>(Context{std::move(configFile), fileSystem, std::move(localNames)})) {}

std::shared_ptr<IWebService> ApplicationHostStore::bind(const std::wstring& path) {
    // The provider name is case-sensitive, the service name is not.
    const std::wstring prefix = L"IIS://";
    size_t slash = path.rfind(L'/');
    if (path.rfind(prefix, 0) != 0 || slash == std::wstring::npos || slash <= prefix.size() ||
        !equalsIgnoreCase(path.substr(slash + 1), L"W3svc")) {
        throw AppError(weberr::InvalidSyntax, L"Invalid path " + path);
    }
    const std::wstring computer = path.substr(prefix.size(), slash - prefix.size());
    if (computer.find(L'/') != std::wstring::npos)
        throw AppError(weberr::InvalidSyntax, L"Invalid path " + path);
    if (!isLocal(*m_context, computer)) {
        throw AppError(weberr::BadNetPath, L"The web server of " + computer + L" cannot be reached");
    }
    Config config = Config::load(m_context->configFile);
    std::vector<std::shared_ptr<IWebObject>> children;
    if (config.hasApplicationPools())
        children.push_back(std::make_shared<OtherObject>(L"IIsApplicationPools"));
    for (pugi::xml_node site : config.sites()) {
        children.push_back(std::make_shared<SiteObject>(m_context, computer, site));
    }
    return std::make_shared<ServiceObject>(std::move(children));
}

}  // namespace t7
