#pragma once
// The web server of Windows: IIS keeps its sites and applications in
// applicationHost.config below the system directory, which the store over
// that file reads and writes in place.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/FileSystem.h"
#include "web/WebServerStore.h"

namespace t7 {

// %windir%\System32\inetsrv\config\applicationHost.config, found through
// the file system's system directory.
std::filesystem::path systemApplicationHostConfig(const IFileSystem& fileSystem);

// The store over that file (the platform's makeWebServerStore). `fileSystem`
// must outlive it; `localNames` gives the addresses and the name of this
// computer (IPArray).
std::unique_ptr<IWebServerStore> makeWebServerStore(const IFileSystem& fileSystem,
                                                    std::function<std::vector<std::wstring>()> localNames);

}  // namespace t7
