#include "platform/win32/Win32WebServer.h"

#include "base/DurableFile.h"
#include "platform/machine/ApplicationHostStore.h"

namespace t7 {

std::filesystem::path systemApplicationHostConfig(const IFileSystem& fileSystem) {
    return fileSystem.nativePath(fileSystem.systemDirectory()) / L"inetsrv" / L"config" /
           L"applicationHost.config";
}

std::unique_ptr<IWebServerStore> makeWebServerStore(const IFileSystem& fileSystem,
                                                    std::function<std::vector<std::wstring>()> localNames) {
    const std::filesystem::path config = systemApplicationHostConfig(fileSystem);
    removeLeftoverTemporaries(config);
    return std::make_unique<ApplicationHostStore>(config, fileSystem, std::move(localNames));
}

}  // namespace t7
