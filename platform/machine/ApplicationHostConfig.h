#pragma once
// applicationHost.config, the configuration file of IIS 7 and later, as far
// as the wizard and t7machine touch it: the sites with their bindings,
// applications and virtual directories, and the handler access policy of a
// location. Everything else in the file (comments, other sections, the
// layout) is kept as it was when the file is saved.
#include <filesystem>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace t7 {

struct SiteBinding {
    std::wstring protocol;
    std::wstring bindingInformation;  // "ip:port:host" for http, "*" as ip for all addresses
};

class ApplicationHostConfig {
public:
    // Loads the file. Raises AppError: InvalidSyntax when it is missing (no
    // web server), InvalidData when it is not a configuration document.
    static ApplicationHostConfig load(const std::filesystem::path& file);
    // The configuration of a freshly installed web server: the application
    // pools and one site, "Default Web Site", id 1, bound to *:80:.
    static ApplicationHostConfig createDefault();

    // Writes the document to a temporary file beside `file` and renames it
    // over `file`, so that a reader sees either the old or the new file.
    // Raises AppError (WriteFault) when that fails; `file` is then untouched.
    void save(const std::filesystem::path& file) const;

    std::vector<pugi::xml_node> sites() const;
    // The site with that name (case-insensitive, as IIS compares names).
    pugi::xml_node findSite(const std::wstring& name) const;
    bool hasApplicationPools() const;
    // Adds a site with the next free id, one http binding and a root
    // application serving `physicalPath`. Returns the new site element.
    pugi::xml_node addSite(const std::wstring& name, const std::wstring& bindingInformation,
                           const std::wstring& physicalPath);

    static std::wstring siteName(pugi::xml_node site);
    static std::wstring siteId(pugi::xml_node site);
    static std::vector<SiteBinding> bindings(pugi::xml_node site);

    // The application element with exactly that path (case-insensitive).
    static pugi::xml_node findApplication(pugi::xml_node site, const std::wstring& path);
    // The application that holds `path`: the one with the longest path that
    // is `path` or a parent of it.
    static pugi::xml_node enclosingApplication(pugi::xml_node site, const std::wstring& path);
    // The virtual directory element with that path inside an application.
    static pugi::xml_node findVirtualDirectory(pugi::xml_node application, const std::wstring& path);

    // The handler access policy of a location path ("Site/t7"), if set.
    std::optional<std::wstring> accessPolicy(const std::wstring& locationPath) const;
    void setAccessPolicy(const std::wstring& locationPath, const std::wstring& policy);

    // Element editing that keeps the file's indentation: the new element
    // goes after `after` (or last among the children when `after` is empty),
    // indented like its siblings.
    static pugi::xml_node insertElement(pugi::xml_node parent, const char* name, pugi::xml_node after = {});
    static pugi::xml_node insertElementBefore(pugi::xml_node parent, const char* name, pugi::xml_node before);
    // Removes an element together with the indentation in front of it.
    static void removeElement(pugi::xml_node element);

private:
    pugi::xml_node sitesSection(bool create);

    std::string printedRoot() const;
    static ApplicationHostConfig fromText(const std::string& text, const std::wstring& label);

    pugi::xml_document m_document;
    std::string m_prolog;
    std::string m_epilog;
};

}  // namespace t7
