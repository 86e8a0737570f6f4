#include "platform/odbc/SqlBrowser.h"

#include "base/Text.h"

namespace t7::odbc {

std::string instanceListRequest() {
    return std::string(1, '\x03');
}

std::optional<std::vector<BrowserInstance>> parseInstanceList(std::string_view datagram) {
    if (datagram.size() < 3 || static_cast<unsigned char>(datagram[0]) != 0x05) return std::nullopt;
    const size_t length = static_cast<unsigned char>(datagram[1]) |
                          (static_cast<size_t>(static_cast<unsigned char>(datagram[2])) << 8);
    if (length > datagram.size() - 3) return std::nullopt;
    const std::string_view text = datagram.substr(3, length);

    std::vector<BrowserInstance> instances;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(";;", at);
        std::string_view record =
            text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? text.size() : end + 2;
        BrowserInstance instance;
        std::vector<std::string_view> fields;
        for (size_t p = 0; p <= record.size();) {
            size_t semi = record.find(';', p);
            if (semi == std::string_view::npos) semi = record.size();
            fields.push_back(record.substr(p, semi - p));
            p = semi + 1;
        }
        for (size_t i = 0; i + 1 < fields.size(); i += 2) {
            if (fields[i] == "ServerName") instance.serverName = fromUtf8(fields[i + 1]);
            if (fields[i] == "InstanceName") instance.instanceName = fromUtf8(fields[i + 1]);
        }
        if (!instance.instanceName.empty()) instances.push_back(std::move(instance));
    }
    return instances;
}

std::vector<std::wstring> serverNames(const std::vector<BrowserInstance>& instances,
                                      const std::wstring& machineName) {
    std::vector<std::wstring> names;
    for (const BrowserInstance& instance : instances) {
        std::wstring name = instance.serverName.empty() ? machineName : instance.serverName;
        if (!equalsIgnoreCase(instance.instanceName, L"MSSQLSERVER")) name += L"\\" + instance.instanceName;
        bool seen = false;
        for (const std::wstring& n : names) seen = seen || equalsIgnoreCase(n, name);
        if (!seen) names.push_back(std::move(name));
    }
    return names;
}

}  // namespace t7::odbc
