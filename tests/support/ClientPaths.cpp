#include "support/ClientPaths.h"

#include <cwctype>

#include "base/Text.h"

namespace t7::test {

std::filesystem::path mapClientPath(const std::filesystem::path& machineRoot,
                                    const std::wstring& clientPath) {
    if (clientPath.size() < 2 || clientPath[1] != L':' || !std::iswalpha(clientPath[0])) {
        return std::filesystem::path(toUtf8(clientPath));
    }
    std::filesystem::path path =
        machineRoot / (std::string("drive_") + static_cast<char>(std::towlower(clientPath[0])));
    size_t pos = 2;
    while (pos <= clientPath.size()) {
        size_t end = clientPath.find(L'\\', pos);
        if (end == std::wstring::npos) end = clientPath.size();
        std::wstring part = clientPath.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty()) continue;
        std::filesystem::path next = path / toUtf8(part);
        std::error_code ec;
        if (!std::filesystem::exists(next, ec) && std::filesystem::is_directory(path, ec)) {
            for (const auto& entry : std::filesystem::directory_iterator(path, ec)) {
                if (equalsIgnoreCase(fromUtf8(entry.path().filename().string()), part)) {
                    next = entry.path();
                    break;
                }
            }
        }
        path = next;
    }
    return path;
}

}  // namespace t7::test
