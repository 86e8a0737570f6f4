#pragma once
// Publishing the examination pages: the virtual directories created (or
// reused) under a web site's root, each an application with read and script
// access.
#include <functional>
#include <string>
#include <vector>

#include "forms/MessageBox.h"
#include "web/WebServerStore.h"

namespace t7 {

// Called once per computer with the site name and the parallel name and
// path lists.
using VirtualDirCreator =
    std::function<void(const std::wstring& computer, const std::wstring& webSiteName,
                       const std::vector<std::wstring>& dirNames, const std::vector<std::wstring>& dirPaths)>;

// Splits `computers` and `dirList` at every ",", pairs the directory fields
// (name, path, name, path, ...) into two lists with one empty entry more than
// there are pairs, and calls `creator` for each computer unless the site name
// is empty. False when a step of its own fails: an odd number of directory
// fields (checked before anything is created) or an error raised by the
// creator. The creator's own messages do not make it false.
bool createVirtualDirs(const std::wstring& computers, const std::wstring& webSiteName,
                       const std::wstring& dirList, const VirtualDirCreator& creator);

struct VirtualDirServices {
    IWebServerStore& store;
    IMessageBoxService& messages;
    // Recomposes the page URL after the site has been looked up.
    std::function<void()> composeWebURL;
};

// Finds the site, starts it, and creates or reuses each directory but the
// last entry of the lists, setting read and script access, the path, the
// friendly name and making it a pooled application, then saves it. Every
// failure is shown in a plain message box and stops only the current
// directory (or computer); nothing is undone. Always returns 0.
int ASTCreateVirtualWebDir(VirtualDirServices& services, const std::wstring& ComputerName,
                           const std::wstring& WebSiteName, const std::vector<std::wstring>& DirNames,
                           const std::vector<std::wstring>& DirPaths);

}  // namespace t7
