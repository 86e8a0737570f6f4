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

// How publishing went.
enum class VirtualDirsResult {
    // Every directory was created (or reused) and saved.
    Created,
    // The creator showed a failure ("Unable to ...") for a directory or a
    // computer: at least one directory is not published.
    FailureReported,
    // A step of createVirtualDirs itself failed; nothing was created.
    Failed,
};

// Called once per computer with the site name and the parallel name and
// path lists; returns the number of failures it reported.
using VirtualDirCreator =
    std::function<int(const std::wstring& computer, const std::wstring& webSiteName,
                      const std::vector<std::wstring>& dirNames, const std::vector<std::wstring>& dirPaths)>;

// Splits `computers` and `dirList` at every ",", pairs the directory fields
// (name, path, name, path, ...) into two lists with one empty entry more than
// there are pairs, and calls `creator` for each computer. Failed when a step
// of its own fails: an odd number of directory fields (checked before
// anything is created) or an error raised by the creator. FailureReported
// when the creator reported a failure, or when there was no computer to
// create the directories on.
VirtualDirsResult createVirtualDirs(const std::wstring& computers, const std::wstring& webSiteName,
                                    const std::wstring& dirList, const VirtualDirCreator& creator);

// True for a name a virtual directory can carry and the page URL can end
// in: not empty, no blank at either end, not only dots, no control
// character, none of / \ ? # % * : " < > |, and every character in code
// page 936.
bool isUsableVirtualDirName(const std::wstring& name);

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
// directory (or computer); nothing is undone. An empty site name finds no
// site, and a name isUsableVirtualDirName refuses is not created. Returns
// the number of failures shown, 0 when everything was published.
int ASTCreateVirtualWebDir(VirtualDirServices& services, const std::wstring& ComputerName,
                           const std::wstring& WebSiteName, const std::vector<std::wstring>& DirNames,
                           const std::vector<std::wstring>& DirPaths);

}  // namespace t7
