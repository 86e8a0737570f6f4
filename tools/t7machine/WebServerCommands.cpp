// The web server of a machine folder: applicationHost.config.
#include <filesystem>
#include <ostream>

#include "base/AppError.h"
#include "base/Text.h"
#include "platform/machine/ApplicationHostConfig.h"
#include "tools/t7machine/Commands.h"

namespace t7::machine {
namespace {

// "NAME:ip:port:host": the site name, then its http binding. The host keeps
// any further colons.
struct SiteOption {
    std::wstring name;
    std::wstring bindingInformation;
};

SiteOption parseSiteOption(const std::string& option) {
    const std::wstring text = fromUtf8(option);
    size_t nameEnd = text.find(L':');
    size_t ipEnd = nameEnd == std::wstring::npos ? nameEnd : text.find(L':', nameEnd + 1);
    size_t portEnd = ipEnd == std::wstring::npos ? ipEnd : text.find(L':', ipEnd + 1);
    if (portEnd == std::wstring::npos || nameEnd == 0) {
        throw CommandError{"--site takes NAME:ip:port:host, not '" + option + "'"};
    }
    std::wstring ip = text.substr(nameEnd + 1, ipEnd - nameEnd - 1);
    std::wstring port = text.substr(ipEnd + 1, portEnd - ipEnd - 1);
    bool portValid = !port.empty() && port.size() <= 5 &&
                     port.find_first_not_of(L"0123456789") == std::wstring::npos && std::stoul(port) >= 1 &&
                     std::stoul(port) <= 65535;
    if (!portValid) throw CommandError{"--site '" + option + "': the port must be a number from 1 to 65535"};
    return {text.substr(0, nameEnd),
            (ip.empty() ? L"*" : ip) + L":" + port + L":" + text.substr(portEnd + 1)};
}

ApplicationHostConfig loadForCommand(const std::filesystem::path& file) {
    try {
        return ApplicationHostConfig::load(file);
    } catch (const AppError& e) {
        throw CommandError{e.what()};
    }
}

}  // namespace

void initWebServer(const MachineFolder& machine, const InitOptions& options) {
    if (!options.webServer) return;
    const std::filesystem::path file = machine.applicationHostConfig();
    std::vector<SiteOption> sites;
    for (const std::string& option : options.sites) sites.push_back(parseSiteOption(option));

    // An existing configuration is kept as it is; only sites it lacks are added.
    const bool exists = std::filesystem::exists(file);
    ApplicationHostConfig config = exists ? loadForCommand(file) : ApplicationHostConfig::createDefault();
    bool changed = !exists;
    for (const SiteOption& site : sites) {
        if (config.findSite(site.name)) continue;
        config.addSite(site.name, site.bindingInformation, L"%SystemDrive%\\inetpub\\wwwroot");
        changed = true;
    }
    if (!changed) return;
    std::filesystem::create_directories(file.parent_path());
    try {
        config.save(file);
    } catch (const AppError& e) {
        throw CommandError{e.what()};
    }
}

int printSites(const MachineFolder& machine, std::ostream& out) {
    const ApplicationHostConfig config = loadForCommand(machine.applicationHostConfig());
    for (pugi::xml_node site : config.sites()) {
        const std::wstring name = ApplicationHostConfig::siteName(site);
        out << "site " << toUtf8(name) << " (id " << toUtf8(ApplicationHostConfig::siteId(site));
        if (std::string_view(site.attribute("serverAutoStart").value()) == "true") out << ", started";
        out << ")\n";
        for (const SiteBinding& binding : ApplicationHostConfig::bindings(site)) {
            out << "  binding " << toUtf8(binding.protocol) << " " << toUtf8(binding.bindingInformation)
                << "\n";
        }
        // Each application with the folder it serves, then its further
        // virtual directories; the access policy where a location sets one.
        auto access = [&](const std::wstring& path) {
            auto policy = config.accessPolicy(path == L"/" ? name : name + path);
            return policy ? " [access " + toUtf8(*policy) + "]" : std::string();
        };
        for (pugi::xml_node application : site.children("application")) {
            const std::wstring appPath = fromUtf8(application.attribute("path").value());
            pugi::xml_node root = ApplicationHostConfig::findVirtualDirectory(application, L"/");
            out << "  application " << toUtf8(appPath) << " -> " << root.attribute("physicalPath").value()
                << access(appPath) << "\n";
            for (pugi::xml_node directory : application.children("virtualDirectory")) {
                const std::wstring path = fromUtf8(directory.attribute("path").value());
                if (path == L"/") continue;
                const std::wstring full = appPath == L"/" ? path : appPath + path;
                out << "  virtual directory " << toUtf8(full) << " -> "
                    << directory.attribute("physicalPath").value() << access(full) << "\n";
            }
        }
    }
    return 0;
}

}  // namespace t7::machine
