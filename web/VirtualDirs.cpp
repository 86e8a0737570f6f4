#include "web/VirtualDirs.h"

#include "base/AppError.h"
#include "base/ContinueOnError.h"
#include "web/WebSites.h"

namespace t7 {

bool createVirtualDirs(const std::wstring& computers, const std::wstring& webSiteName,
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
        if (!webSiteName.empty()) {
            for (const std::wstring& computer : computerList)
                creator(computer, webSiteName, dirNames, dirPaths);
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
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
    steps.run([&] { site = findWeb(services.store, ComputerName, WebSiteName); });
    steps.run([&] {
        if (services.composeWebURL) services.composeWebURL();
    });
    if (!site) {
        showPlain(services.messages, L"Unable to find " + WebSiteName + L" on " + ComputerName);
        return 0;
    }

    std::shared_ptr<IWebVirtualDir> root;
    steps.run([&] { root = site->GetObject(kWebVirtualDirClass, L"Root"); });
    steps.run([&] { site->Start(); });
    if (steps.failed()) {
        steps.run([&] { showPlain(services.messages, L"Unable to access root for " + site->ADsPath()); });
        return 0;
    }

    if (DirNames.size() != DirPaths.size()) return 0;
    // The lists carry one empty entry more than there are directories; the
    // loop stops before it.
    for (size_t i = 0; i + 1 < DirNames.size(); ++i) {
        const std::wstring& name = DirNames[i];
        const std::wstring& path = DirPaths[i];
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
        } else {
            steps.run([&] { use(directory).SetInfo(); });
            if (steps.failed())
                showPlain(services.messages, L"Unable to save configuration for /" + name + L".");
        }
        steps.clear();
    }
    return 0;
}

}  // namespace t7
