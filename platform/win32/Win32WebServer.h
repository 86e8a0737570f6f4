#pragma once
// The web server of Windows: IIS keeps its sites and applications in
// applicationHost.config below the system directory, which the store over
// that file reads and writes in place.
#include <filesystem>

#include "base/FileSystem.h"

namespace t7 {

// %windir%\System32\inetsrv\config\applicationHost.config, found through
// the file system's system directory.
std::filesystem::path systemApplicationHostConfig(const IFileSystem& fileSystem);

// makeWebServerStore (web/WebServerStore.h) is the store over that file.

}  // namespace t7
