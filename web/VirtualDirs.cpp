#include "web/VirtualDirs.h"

#include "base/AppError.h"
#include "base/ContinueOnError.h"
#include "base/Text.h"
#include "web/WebSites.h"

namespace t7 {

VirtualDirsResult createVirtualDirs(const std::wstring& computers, const std::wstring& webSiteName,
                                    const std::wstring& dirList, const VirtualDirCreator& creator) {
    try {
        const std::vector<std::wstring> computerList = splitFields(computers, L',');
        const std::vector<std::wstring> fields = splitFields(dirList, L',');
        const size_t entries = fields.size() / 2 + 1;
        std::vector<std::wstring> dirNames(entries), dirPaths(entries);
        for (size_t j = 0, k = 0; j < fields.size(); ++k) {
            dirNames[k] = fields[j++];
            if (j >= fields.size()) {
                throw AppError(errnum::SubscriptOutOfRange,
                               L"The directory " + dirNames[k] + L" has no path");
            }
            dirPaths[k] = fields[j++];
        }
        // Without a site nothing is published: the creator says so.
        int failures = 0;
        for (const std::wstring& computer : computerList)
            failures += creator(computer, webSiteName, dirNames, dirPaths);
        return failures == 0 && !computerList.empty() ? VirtualDirsResult::Created
                                                      : VirtualDirsResult::FailureReported;
    } catch (const std::exception&) {
        return VirtualDirsResult::Failed;
    }
}

bool isUsableVirtualDirName(const std::wstring& name) {
    if (name.empty() || name.front() == L' ' || name.back() == L' ') return false;
    if (name.find_first_not_of(L'.') == std::wstring::npos) return false;
    for (wchar_t c : name) {
        if (c < 32 || std::wstring_view(L"/\\?#%*:\"<>|").find(c) != std::wstring_view::npos) return false;
    }
    return fitsCp936(name);
}

namespace {

void showPlain(IMessageBoxService& messages, const std::wstring& text) {
    MessageBoxRequest request;
    request.text = text;
    messages.show(request);
}

// Using a directory object that was never obtained fails like any other step.
IWebVirtualDir& use(const std::shared_ptr<IWebVirtualDir>& directory) {
    if (!directory) throw AppError(weberr::ObjectVariableNotSet, L"Object variable not set");
    return *directory;
}

}  // namespace

int ASTCreateVirtualWebDir(VirtualDirServices& services, const std::wstring& ComputerName,
                           const std::wstring& WebSiteName, const std::vector<std::wstring>& DirNames,
                           const std::vector<std::wstring>& DirPaths) {
    ContinueOnError steps;
    std::shared_ptr<IWebObject> site;
    // An empty name would match a site bound to every host name.
    if (!WebSiteName.empty()) steps.run([&] { site = findWeb(services.store, ComputerName, WebSiteName); });
    steps.run([&] {
        if (services.composeWebURL) services.composeWebURL();
    });
    if (!site) {
        showPlain(services.messages, L"Unable to find " + WebSiteName + L" on " + ComputerName);
        return 1;
    }

    std::shared_ptr<IWebVirtualDir> root;
    steps.run([&] { root = site->GetObject(kWebVirtualDirClass, L"Root"); });
    steps.run([&] { site->Start(); });
    if (steps.failed()) {
        steps.run([&] { showPlain(services.messages, L"Unable to access root for " + site->ADsPath()); });
        return 1;
    }

    int failures = 0;
    if (DirNames.size() != DirPaths.size()) return failures;
    // The lists carry one empty entry more than there are directories; the
    // loop stops before it.
    for (size_t i = 0; i + 1 < DirNames.size(); ++i) {
        const std::wstring& name = DirNames[i];
        const std::wstring& path = DirPaths[i];
        if (!isUsableVirtualDirName(name)) {
            showPlain(services.messages,
                      L"Unable to create /" + name + L": not a valid virtual directory name.");
            ++failures;
            continue;
        }
        // A directory object is never carried over from the previous entry:
        // configuring the previous directory with this entry's path would
        // silently re-point it.
        std::shared_ptr<IWebVirtualDir> directory;
        steps.run([&] { directory = use(root).Create(kWebVirtualDirClass, name); });
        if (steps.failed()) {
            // It may exist already: reuse it.
            steps.run([&] { directory = use(root).GetObject(kWebVirtualDirClass, name); });
            steps.clear();
        }
        steps.run([&] { use(directory).setAccessRead(true); });
        steps.run([&] { use(directory).setAccessScript(true); });
        steps.run([&] { use(directory).setPath(path); });
        steps.run([&] { use(directory).setAppFriendlyName(name); });
        steps.run([&] { use(directory).AppCreate2(2); });
        if (steps.failed()) {
            showPlain(services.messages,
                      L"Unable to bind path " + path + L" to " + L"/" + name + L". Path may be invalid.");
            ++failures;
        } else {
            steps.run([&] { use(directory).SetInfo(); });
            if (steps.failed()) {
                showPlain(services.messages, L"Unable to save configuration for /" + name + L".");
                ++failures;
            }
        }
        steps.clear();
    }
    return failures;
}

}  // namespace t7
