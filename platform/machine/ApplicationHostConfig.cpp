#include "platform/machine/ApplicationHostConfig.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>

#include "base/AppError.h"
#include "base/DurableFile.h"
#include "base/Text.h"
#include "web/WebServerStore.h"

namespace t7 {
namespace {

// Whitespace text nodes are kept so that a save writes untouched parts of
// the file back as they were; line ends are kept as they are for the same
// reason.
constexpr unsigned kParseOptions = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_wconv_attribute |
                                   pugi::parse_comments | pugi::parse_declaration | pugi::parse_pi |
                                   pugi::parse_doctype | pugi::parse_ws_pcdata;

const char* kDefaultConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<!--
    Web server configuration of this machine folder, in the format of
    %windir%\System32\inetsrv\config\applicationHost.config.
-->
<configuration>
    <system.applicationHost>
        <applicationPools>
            <add name="DefaultAppPool" />
            <applicationPoolDefaults managedRuntimeVersion="v4.0">
                <processModel identityType="ApplicationPoolIdentity" />
            </applicationPoolDefaults>
        </applicationPools>
        <sites>
            <siteDefaults>
                <logFile logFormat="W3C" directory="%SystemDrive%\inetpub\logs\LogFiles" />
            </siteDefaults>
            <applicationDefaults applicationPool="DefaultAppPool" />
            <virtualDirectoryDefaults allowSubDirConfig="true" />
        </sites>
    </system.applicationHost>
    <system.webServer>
        <handlers accessPolicy="Read, Script" />
    </system.webServer>
</configuration>
)";

bool isBlankText(pugi::xml_node node) {
    if (node.type() != pugi::node_pcdata) return false;
    for (const char* p = node.value(); *p; ++p) {
        if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') return false;
    }
    return true;
}

// The line break and indentation in front of an element ("\n    "), or
// empty when the element starts its line without one.
std::string indentBefore(pugi::xml_node node) {
    pugi::xml_node previous = node.previous_sibling();
    if (!isBlankText(previous)) return {};
    return previous.value();
}

std::string lineBreakOf(const std::string& whitespace) {
    return whitespace.find("\r\n") != std::string::npos ? "\r\n" : "\n";
}

std::string indentUnit(pugi::xml_node anyElement) {
    // Follow the file's own unit: the indentation of the first nested
    // element beyond that of its parent (the root element has none), else
    // four spaces.
    auto column = [](const std::string& ws) {
        size_t nl = ws.find_last_of('\n');
        return nl == std::string::npos ? ws : ws.substr(nl + 1);
    };
    for (pugi::xml_node node = anyElement; node && node.type() == pugi::node_element; node = node.parent()) {
        const bool isRoot = node.parent().type() == pugi::node_document;
        const std::string outer = indentBefore(node);
        if (!isRoot && outer.empty()) continue;
        const std::string o = column(outer);
        for (pugi::xml_node child : node.children()) {
            if (child.type() != pugi::node_element) continue;
            const std::string inner = indentBefore(child);
            const std::string i = column(inner);
            if (!inner.empty() && i.size() > o.size() && i.compare(0, o.size(), o) == 0)
                return i.substr(o.size());
        }
    }
    return "    ";
}

std::wstring wide(const char* utf8) {
    return fromUtf8(utf8);
}

bool sameName(const char* utf8, const std::wstring& name) {
    return equalsIgnoreCase(fromUtf8(utf8), name);
}

}  // namespace

ApplicationHostConfig ApplicationHostConfig::load(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        throw AppError(weberr::InvalidSyntax,
                       L"No web server is installed: " + fromUtf8(file.string()) + L" does not exist");
    }
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in.is_open()) {
        throw AppError(weberr::InvalidData, L"Cannot read " + fromUtf8(file.string()));
    }
    return fromText(bytes.str(), fromUtf8(file.string()));
}

ApplicationHostConfig ApplicationHostConfig::fromText(const std::string& text, const std::wstring& label) {
    ApplicationHostConfig config;
    pugi::xml_parse_result result =
        config.m_document.load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_utf8);
    if (!result) {
        throw AppError(weberr::InvalidData, L"The web server configuration " + label +
                                                L" is malformed at byte " + std::to_wstring(result.offset) +
                                                L": " + fromUtf8(result.description()));
    }
    pugi::xml_node root = config.m_document.document_element();
    if (!root || std::string_view(root.name()) != "configuration") {
        throw AppError(weberr::InvalidData,
                       L"The web server configuration " + label + L" has no <configuration>");
    }
    // The parser keeps no text outside the root element, so what surrounds
    // it (byte order mark, declaration, comments, line breaks) is kept as
    // bytes and written back unchanged.
    const ptrdiff_t nameOffset = root.offset_debug();
    config.m_prolog = nameOffset > 0 ? text.substr(0, static_cast<size_t>(nameOffset - 1)) : std::string();
    const size_t closing = text.rfind("</configuration");
    const size_t end = closing == std::string::npos ? closing : text.find('>', closing);
    config.m_epilog = end == std::string::npos ? std::string("\n") : text.substr(end + 1);
    return config;
}

ApplicationHostConfig ApplicationHostConfig::createDefault() {
    ApplicationHostConfig config = fromText(kDefaultConfig, L"(default)");
    config.addSite(L"Default Web Site", L"*:80:", L"%SystemDrive%\\inetpub\\wwwroot");
    return config;
}

void ApplicationHostConfig::save(const std::filesystem::path& file) const {
    if (writeFileDurably(file, m_prolog + printedRoot() + m_epilog)) {
        throw AppError(weberr::WriteFault,
                       L"Cannot save the web server configuration " + fromUtf8(file.string()));
    }
}

std::string ApplicationHostConfig::printedRoot() const {
    // Indenting mode with no indent string writes the kept whitespace as it
    // is and empty elements as "<add />", the way IIS writes them; raw mode
    // would write "<add/>". It ends with a line break of its own, which the
    // kept epilog already has.
    std::ostringstream text;
    m_document.document_element().print(text, "", pugi::format_indent, pugi::encoding_utf8);
    std::string printed = text.str();
    if (!printed.empty() && printed.back() == '\n') printed.pop_back();
    return printed;
}

pugi::xml_node ApplicationHostConfig::sitesSection(bool create) {
    pugi::xml_node root = m_document.document_element();
    pugi::xml_node host = root.child("system.applicationHost");
    if (!host && create) host = insertElement(root, "system.applicationHost");
    pugi::xml_node sites = host.child("sites");
    if (!sites && create) sites = insertElement(host, "sites");
    return sites;
}

std::vector<pugi::xml_node> ApplicationHostConfig::sites() const {
    std::vector<pugi::xml_node> result;
    pugi::xml_node section = m_document.document_element().child("system.applicationHost").child("sites");
    for (pugi::xml_node site : section.children("site")) result.push_back(site);
    return result;
}

pugi::xml_node ApplicationHostConfig::findSite(const std::wstring& name) const {
    for (pugi::xml_node site : sites()) {
        if (sameName(site.attribute("name").value(), name)) return site;
    }
    return {};
}

bool ApplicationHostConfig::hasApplicationPools() const {
    return bool(m_document.document_element().child("system.applicationHost").child("applicationPools"));
}

pugi::xml_node ApplicationHostConfig::addSite(const std::wstring& name,
                                              const std::wstring& bindingInformation,
                                              const std::wstring& physicalPath) {
    unsigned long nextId = 1;
    pugi::xml_node last;
    for (pugi::xml_node site : sites()) {
        nextId = std::max(nextId, site.attribute("id").as_uint() + 1ul);
        last = site;
    }
    pugi::xml_node section = sitesSection(true);
    // Sites come before the defaults elements, as IIS writes them.
    pugi::xml_node firstElement =
        section.find_child([](pugi::xml_node n) { return n.type() == pugi::node_element; });
    pugi::xml_node site = last           ? insertElement(section, "site", last)
                          : firstElement ? insertElementBefore(section, "site", firstElement)
                                         : insertElement(section, "site");
    site.append_attribute("name") = toUtf8(name).c_str();
    site.append_attribute("id") = std::to_string(nextId).c_str();
    pugi::xml_node application = insertElement(site, "application");
    application.append_attribute("path") = "/";
    pugi::xml_node directory = insertElement(application, "virtualDirectory");
    directory.append_attribute("path") = "/";
    directory.append_attribute("physicalPath") = toUtf8(physicalPath).c_str();
    pugi::xml_node bindingsNode = insertElement(site, "bindings");
    pugi::xml_node binding = insertElement(bindingsNode, "binding");
    binding.append_attribute("protocol") = "http";
    binding.append_attribute("bindingInformation") = toUtf8(bindingInformation).c_str();
    return site;
}

std::wstring ApplicationHostConfig::siteName(pugi::xml_node site) {
    return wide(site.attribute("name").value());
}

std::wstring ApplicationHostConfig::siteId(pugi::xml_node site) {
    return wide(site.attribute("id").value());
}

std::vector<SiteBinding> ApplicationHostConfig::bindings(pugi::xml_node site) {
    std::vector<SiteBinding> result;
    for (pugi::xml_node binding : site.child("bindings").children("binding")) {
        result.push_back({wide(binding.attribute("protocol").value()),
                          wide(binding.attribute("bindingInformation").value())});
    }
    return result;
}

pugi::xml_node ApplicationHostConfig::findApplication(pugi::xml_node site, const std::wstring& path) {
    for (pugi::xml_node application : site.children("application")) {
        if (sameName(application.attribute("path").value(), path)) return application;
    }
    return {};
}

pugi::xml_node ApplicationHostConfig::enclosingApplication(pugi::xml_node site, const std::wstring& path) {
    pugi::xml_node best;
    size_t bestLength = 0;
    const std::wstring lowered = asciiLower(path);
    for (pugi::xml_node application : site.children("application")) {
        std::wstring appPath = asciiLower(wide(application.attribute("path").value()));
        bool holds = appPath == L"/" || lowered == appPath ||
                     (lowered.size() > appPath.size() && lowered.compare(0, appPath.size(), appPath) == 0 &&
                      lowered[appPath.size()] == L'/');
        if (holds && (!best || appPath.size() > bestLength)) {
            best = application;
            bestLength = appPath.size();
        }
    }
    return best;
}

pugi::xml_node ApplicationHostConfig::findVirtualDirectory(pugi::xml_node application,
                                                           const std::wstring& path) {
    for (pugi::xml_node directory : application.children("virtualDirectory")) {
        if (sameName(directory.attribute("path").value(), path)) return directory;
    }
    return {};
}

std::optional<std::wstring> ApplicationHostConfig::accessPolicy(const std::wstring& locationPath) const {
    for (pugi::xml_node location : m_document.document_element().children("location")) {
        if (!sameName(location.attribute("path").value(), locationPath)) continue;
        pugi::xml_attribute policy =
            location.child("system.webServer").child("handlers").attribute("accessPolicy");
        if (policy) return wide(policy.value());
    }
    return std::nullopt;
}

void ApplicationHostConfig::setAccessPolicy(const std::wstring& locationPath, const std::wstring& policy) {
    pugi::xml_node root = m_document.document_element();
    pugi::xml_node location;
    pugi::xml_node lastLocation;
    for (pugi::xml_node candidate : root.children("location")) {
        lastLocation = candidate;
        if (sameName(candidate.attribute("path").value(), locationPath)) {
            location = candidate;
            break;
        }
    }
    if (!location) {
        location = insertElement(root, "location", lastLocation);
        location.append_attribute("path") = toUtf8(locationPath).c_str();
    }
    pugi::xml_node webServer = location.child("system.webServer");
    if (!webServer) webServer = insertElement(location, "system.webServer");
    pugi::xml_node handlers = webServer.child("handlers");
    if (!handlers) handlers = insertElement(webServer, "handlers");
    pugi::xml_attribute attribute = handlers.attribute("accessPolicy");
    if (!attribute) attribute = handlers.append_attribute("accessPolicy");
    attribute = toUtf8(policy).c_str();
}

namespace {

// The indentation for a new child of `parent`: that of its element children,
// else one unit deeper than the parent.
std::string childIndentOf(pugi::xml_node parent) {
    for (pugi::xml_node child : parent.children()) {
        if (child.type() == pugi::node_element && !indentBefore(child).empty()) return indentBefore(child);
    }
    const std::string parentIndent = indentBefore(parent);
    return (parentIndent.empty() ? std::string("\n") : parentIndent) + indentUnit(parent);
}

}  // namespace

pugi::xml_node ApplicationHostConfig::insertElement(pugi::xml_node parent, const char* name,
                                                    pugi::xml_node after) {
    const std::string childIndent = childIndentOf(parent);
    if (after) {
        pugi::xml_node element = parent.insert_child_after(name, after);
        parent.insert_child_before(pugi::node_pcdata, element).set_value(childIndent.c_str());
        return element;
    }
    pugi::xml_node closing = parent.last_child();
    if (isBlankText(closing)) {
        pugi::xml_node element = parent.insert_child_before(name, closing);
        parent.insert_child_before(pugi::node_pcdata, element).set_value(childIndent.c_str());
        return element;
    }
    // An empty element (<sites />): its closing tag goes on a line of its own.
    const std::string parentIndent = indentBefore(parent);
    parent.append_child(pugi::node_pcdata).set_value(childIndent.c_str());
    pugi::xml_node element = parent.append_child(name);
    const std::string closingIndent = parentIndent.empty() ? lineBreakOf(childIndent) : parentIndent;
    parent.append_child(pugi::node_pcdata).set_value(closingIndent.c_str());
    return element;
}

pugi::xml_node ApplicationHostConfig::insertElementBefore(pugi::xml_node parent, const char* name,
                                                          pugi::xml_node before) {
    const std::string childIndent = childIndentOf(parent);
    pugi::xml_node leading = before.previous_sibling();
    pugi::xml_node element = parent.insert_child_before(name, isBlankText(leading) ? leading : before);
    parent.insert_child_before(pugi::node_pcdata, element).set_value(childIndent.c_str());
    return element;
}

void ApplicationHostConfig::removeElement(pugi::xml_node element) {
    pugi::xml_node parent = element.parent();
    pugi::xml_node previous = element.previous_sibling();
    if (isBlankText(previous)) parent.remove_child(previous);
    parent.remove_child(element);
}

}  // namespace t7
