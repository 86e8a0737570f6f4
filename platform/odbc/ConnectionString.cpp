#include "platform/odbc/ConnectionString.h"

#include <cwctype>

#include "base/Text.h"

namespace t7::odbc {
namespace {

std::wstring trimmed(const std::wstring& text) {
    size_t begin = text.find_first_not_of(L" \t");
    if (begin == std::wstring::npos) return {};
    size_t end = text.find_last_not_of(L" \t");
    return text.substr(begin, end - begin + 1);
}

std::optional<uint16_t> portNumber(const std::wstring& text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    uint32_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(c - L'0');
    }
    if (value == 0 || value > 65535) return std::nullopt;
    return static_cast<uint16_t>(value);
}

void setAttribute(Attributes& attributes, const std::wstring& key, const std::wstring& value) {
    for (auto& [k, v] : attributes) {
        if (equalsIgnoreCase(k, key)) {
            v = value;
            return;
        }
    }
    attributes.emplace_back(key, value);
}

}  // namespace

std::optional<ServerAddress> parseServerName(const std::wstring& server,
                                             const std::vector<std::wstring>& localNames) {
    ServerAddress address;
    std::wstring rest = trimmed(server);
    if (size_t comma = rest.find(L','); comma != std::wstring::npos) {
        address.port = portNumber(trimmed(rest.substr(comma + 1)));
        if (!address.port) return std::nullopt;
        rest = trimmed(rest.substr(0, comma));
    }
    if (size_t slash = rest.find(L'\\'); slash != std::wstring::npos) {
        address.instance = trimmed(rest.substr(slash + 1));
        rest = trimmed(rest.substr(0, slash));
        if (address.instance.empty()) return std::nullopt;
    }
    if (rest.empty()) return std::nullopt;
    address.host = rest;
    for (const wchar_t* fixed : {L".", L"(local)", L"localhost", L"127.0.0.1"}) {
        if (equalsIgnoreCase(rest, fixed)) address.local = true;
    }
    for (const std::wstring& name : localNames) {
        if (!name.empty() && equalsIgnoreCase(rest, name)) address.local = true;
    }
    return address;
}

Attributes parseAttributes(const std::wstring& text) {
    Attributes out;
    size_t at = 0;
    while (at < text.size()) {
        size_t equals = text.find(L'=', at);
        size_t semicolon = text.find(L';', at);
        if (equals == std::wstring::npos || (semicolon != std::wstring::npos && semicolon < equals)) {
            if (semicolon == std::wstring::npos) break;
            at = semicolon + 1;
            continue;
        }
        std::wstring key = trimmed(text.substr(at, equals - at));
        std::wstring value;
        size_t pos = equals + 1;
        while (pos < text.size() && text[pos] == L' ') ++pos;
        if (pos < text.size() && text[pos] == L'{') {
            ++pos;
            while (pos < text.size()) {
                if (text[pos] == L'}') {
                    if (pos + 1 < text.size() && text[pos + 1] == L'}') {
                        value += L'}';
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                value += text[pos++];
            }
            size_t next = text.find(L';', pos);
            at = next == std::wstring::npos ? text.size() : next + 1;
        } else {
            size_t next = text.find(L';', pos);
            value = trimmed(text.substr(pos, next == std::wstring::npos ? std::wstring::npos : next - pos));
            at = next == std::wstring::npos ? text.size() : next + 1;
        }
        if (!key.empty()) out.emplace_back(key, value);
    }
    return out;
}

std::optional<std::wstring> attribute(const Attributes& attributes, const std::wstring& key) {
    for (const auto& [k, v] : attributes) {
        if (equalsIgnoreCase(k, key)) return v;
    }
    return std::nullopt;
}

std::wstring chooseDriver(const std::vector<std::wstring>& installed) {
    for (const wchar_t* preferred : {L"ODBC Driver 18 for SQL Server", L"ODBC Driver 17 for SQL Server",
                                     L"SQL Server Native Client 11.0", L"SQL Server Native Client 10.0",
                                     L"SQL Native Client", L"SQL Server", L"FreeTDS"}) {
        for (const std::wstring& name : installed) {
            if (equalsIgnoreCase(name, preferred)) return name;
        }
    }
    return {};
}

bool isFreeTds(const std::wstring& driver) {
    std::wstring lower;
    for (wchar_t c : driver) lower += static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return lower.find(L"freetds") != std::wstring::npos || lower.find(L"libtdsodbc") != std::wstring::npos;
}

std::wstring attributeValue(const std::wstring& value, bool alwaysBrace) {
    bool brace = alwaysBrace || value.find_first_of(L";{}=") != std::wstring::npos ||
                 (!value.empty() && (value.front() == L' ' || value.back() == L' '));
    if (!brace) return value;
    std::wstring out = L"{";
    for (wchar_t c : value) {
        out += c;
        if (c == L'}') out += L'}';
    }
    return out + L"}";
}

std::wstring buildConnectionString(const ConnectionRequest& request) {
    const std::wstring driver = attribute(request.extra, L"Driver").value_or(request.driver);
    const bool freeTds = isFreeTds(driver);
    const ServerAddress& a = request.address;

    std::wstring host = a.host;
    if (a.local) host = freeTds || a.port ? L"127.0.0.1" : L"(local)";
    std::wstring server = host;
    if (!a.instance.empty()) server += L"\\" + a.instance;

    Attributes attributes{{L"Driver", driver}};
    if (freeTds) {
        attributes.emplace_back(L"Server", server);
        if (a.port) attributes.emplace_back(L"Port", std::to_wstring(*a.port));
    } else {
        attributes.emplace_back(L"Server", a.port ? server + L"," + std::to_wstring(*a.port) : server);
    }
    for (const auto& [key, value] : request.extra) setAttribute(attributes, key, value);
    setAttribute(attributes, L"UID", request.login);
    setAttribute(attributes, L"PWD", request.password);

    std::wstring out;
    for (const auto& [key, value] : attributes) {
        const bool secret = equalsIgnoreCase(key, L"UID") || equalsIgnoreCase(key, L"PWD") ||
                            equalsIgnoreCase(key, L"Driver");
        out += key + L"=" + attributeValue(value, secret) + L";";
    }
    return out;
}

}  // namespace t7::odbc
