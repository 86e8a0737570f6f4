#include "platform/win32/Win32SqlServerServices.h"

#include <windows.h>

#include "base/AppError.h"
#include "base/Text.h"
#include "platform/win32/WinHandle.h"

namespace t7::win32 {
namespace {

struct ServiceHandleTraits {
    static SC_HANDLE none() { return nullptr; }
    static bool valid(SC_HANDLE handle) { return handle != nullptr; }
    static void close(SC_HANDLE handle) { CloseServiceHandle(handle); }
};
using ServiceHandle = UniqueHandle<SC_HANDLE, ServiceHandleTraits>;

[[noreturn]] void raiseWindowsError(DWORD error, const std::wstring& context) {
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = context + L": " + (text ? std::wstring(text) : std::to_wstring(error));
    if (text) LocalFree(text);
    throw AppError(static_cast<int32_t>(error), message);
}

void addInstances(REGSAM view, std::vector<std::wstring>& names) {
    DWORD bytes = 0;
    const wchar_t* key = L"SOFTWARE\\Microsoft\\Microsoft SQL Server";
    const DWORD flags =
        RRF_RT_REG_MULTI_SZ | (view == KEY_WOW64_32KEY ? RRF_SUBKEY_WOW6432KEY : RRF_SUBKEY_WOW6464KEY);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, L"InstalledInstances", flags, nullptr, nullptr, &bytes) !=
            ERROR_SUCCESS ||
        bytes == 0) {
        return;
    }
    std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, L"InstalledInstances", flags, nullptr, data.data(), &bytes) !=
        ERROR_SUCCESS) {
        return;
    }
    for (size_t at = 0; at < data.size() && data[at] != L'\0';) {
        const size_t end = data.find(L'\0', at);
        std::wstring name = data.substr(at, end - at);
        bool seen = false;
        for (const std::wstring& n : names) seen = seen || equalsIgnoreCase(n, name);
        if (!seen) names.push_back(std::move(name));
        at = end + 1;
    }
}

}  // namespace

std::vector<std::wstring> installedSqlServerInstances() {
    std::vector<std::wstring> names;
    addInstances(KEY_WOW64_64KEY, names);
    addInstances(KEY_WOW64_32KEY, names);
    return names;
}

void startSqlServerService(const std::wstring& instance) {
    const std::wstring service = instance.empty() || equalsIgnoreCase(instance, L"MSSQLSERVER")
                                     ? std::wstring(L"MSSQLSERVER")
                                     : L"MSSQL$" + instance;
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) raiseWindowsError(GetLastError(), L"Cannot open the service control manager");
    ServiceHandle handle(OpenServiceW(manager.get(), service.c_str(), SERVICE_START | SERVICE_QUERY_STATUS));
    if (!handle) raiseWindowsError(GetLastError(), L"Cannot open the service " + service);
    if (!StartServiceW(handle.get(), 0, nullptr)) {
        const DWORD error = GetLastError();
        if (error != ERROR_SERVICE_ALREADY_RUNNING)
            raiseWindowsError(error, L"Cannot start the service " + service);
    }
}

}  // namespace t7::win32
