#pragma once
// The web server configuration store over applicationHost.config.
//
// What the store objects map to:
//   web service container   system.applicationHost of the file; its children
//                           are the application pools ("AppPools", class
//                           "IIsApplicationPools") when the file has them,
//                           then every site in file order
//   site (IIsWebServer)     a site element; ServerComment is its name,
//                           ServerBindings its http bindings ("*" as ip reads
//                           as empty), ADsPath IIS://computer/W3SVC/<id>
//   Start                   serverAutoStart="true" on the site, saved at once
//   root / directory "name" the application "/" / the application "/name", or
//                           a virtualDirectory "/name" of the root application
//   AppCreate2              the directory becomes an application element
//                           "/name" with a virtualDirectory "/" holding the path
//   Path                    physicalPath: the folder as the file system
//                           service's nativePath names it
//   AccessRead/AccessScript a location "Site/name" with the
//                           system.webServer/handlers accessPolicy
//   AppFriendlyName         accepted and not saved: IIS 7 names an application
//                           by its path and has no attribute for a display name
// Only the local computer can be bound. Each change is applied to the file
// as it is at that moment and saved atomically.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/FileSystem.h"
#include "web/WebServerStore.h"

namespace t7 {

class ApplicationHostStore : public IWebServerStore {
public:
    // `localNames` gives the names that mean this computer besides
    // "localhost", "127.0.0.1" and ".": its addresses and machine name
    // (IPArray). `fileSystem` checks the folders given as "Path".
    ApplicationHostStore(std::filesystem::path configFile, const IFileSystem& fileSystem,
                         std::function<std::vector<std::wstring>()> localNames);

    std::shared_ptr<IWebService> bind(const std::wstring& path) override;

    struct Context;

private:
    std::shared_ptr<Context> m_context;
};

}  // namespace t7
