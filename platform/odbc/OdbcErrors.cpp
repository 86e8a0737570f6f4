#include "platform/odbc/OdbcErrors.h"

#include "database/DatabaseComponent.h"

namespace t7::odbc {
namespace {

bool isLinkState(const std::wstring& state) {
    return state.compare(0, 2, L"08") == 0 || state == L"HYT00" || state == L"HYT01";
}

// The last "[…]" prefix of a message, e.g. "[SQL Server]".
std::wstring lastPrefix(const std::wstring& message) {
    std::wstring prefix;
    size_t at = 0;
    while (at < message.size() && message[at] == L'[') {
        size_t end = message.find(L']', at);
        if (end == std::wstring::npos) break;
        prefix = message.substr(at, end - at + 1);
        at = end + 1;
    }
    return prefix;
}

bool isServerRecord(const Diagnostic& d) {
    if (d.native == 0) return false;
    if (!isLinkState(d.state)) return true;
    return lastPrefix(d.message) == L"[SQL Server]" && !(d.native >= 20000 && d.native < 21000);
}

}  // namespace

std::wstring serverText(const std::wstring& message) {
    size_t at = 0;
    while (at < message.size() && message[at] == L'[') {
        size_t end = message.find(L']', at);
        if (end == std::wstring::npos) break;
        at = end + 1;
    }
    return message.substr(at);
}

bool isLinkFailure(const std::vector<Diagnostic>& records) {
    for (const Diagnostic& d : records) {
        if (isLinkState(d.state) && !isServerRecord(d)) return true;
    }
    return false;
}

AppError componentError(const std::vector<Diagnostic>& records) {
    for (const Diagnostic& d : records) {
        if (isServerRecord(d)) return AppError(databaseComponentError(d.native), serverText(d.message));
    }
    if (isLinkFailure(records)) {
        return AppError(databaseComponentError(dmo::servererror::DoesNotExist),
                        L"SQL Server does not exist or access denied.");
    }
    if (records.empty()) return AppError(dmo::notConnectedError(), L"The ODBC driver reported a failure.");
    return AppError(dmo::notConnectedError(), serverText(records.front().message));
}

AppError withoutSecrets(const AppError& error, const std::vector<std::wstring>& secrets) {
    std::wstring text = error.description();
    for (const std::wstring& secret : secrets) {
        if (secret.empty()) continue;
        for (size_t at = text.find(secret); at != std::wstring::npos; at = text.find(secret, at + 4)) {
            text.replace(at, secret.size(), L"****");
        }
    }
    return AppError(error.number(), text);
}

}  // namespace t7::odbc
