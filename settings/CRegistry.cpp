#include "settings/CRegistry.h"

#include <vector>

#include "base/Text.h"

namespace t7 {
namespace {

// Closes a handle on every way out.
class KeyGuard {
public:
    KeyGuard(IRegistryHive& hive, RegKeyHandle key) : m_hive(hive), m_key(key) {}
    ~KeyGuard() { m_hive.closeKey(m_key); }
    KeyGuard(const KeyGuard&) = delete;
    KeyGuard& operator=(const KeyGuard&) = delete;

private:
    IRegistryHive& m_hive;
    RegKeyHandle m_key;
};

std::wstring trimBlanks(const std::wstring& text) {
    size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) return L"";
    size_t last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

// The failure of a write: the value's path and the hive's code.
[[noreturn]] void cannotWrite(int32_t code, const std::wstring& path) {
    throw RegistryError(
        code, L"The registry value " + path + L" cannot be written (error " + std::to_wstring(code) + L")");
}

}  // namespace

std::wstring CRegistry::GetKeyValue(const std::wstring& AppName, const std::wstring& SecName,
                                    const std::wstring& KeyName, RegistryRoot root) {
    RegKeyHandle key = 0;
    const std::string path = toCp936(L"Software\\" + AppName + L"\\" + SecName);
    if (m_hive.openKey(rootHandle(root), path, key) != reg::Success) return kFailToOpenKey;
    KeyGuard guard(m_hive, key);

    const std::string name = toCp936(KeyName);
    // A missing value leaves the size 0, and the query into the empty buffer
    // then fails as well.
    uint32_t size = 0;
    m_hive.queryValue(key, name, nullptr, nullptr, &size);
    std::vector<uint8_t> buffer(size, ' ');
    uint32_t type = reg::None;
    if (m_hive.queryValue(key, name, &type, buffer.data(), &size) != reg::Success) return kFailToGetValue;
    if (size == 0) return L"";
    // Only the terminating NUL goes; text after an embedded NUL stays.
    std::string bytes(reinterpret_cast<const char*>(buffer.data()), size);
    if (bytes.back() == '\0') bytes.pop_back();
    return fromCp936(bytes);
}

std::wstring CRegistry::SetKeyValue(const std::wstring& AppName, const std::wstring& SecName,
                                    const std::wstring& KeyName, const std::wstring& KeyValue,
                                    RegistryRoot root) {
    const std::wstring path = L"Software\\" + AppName + L"\\" + SecName + L"\\" + KeyName;
    RegKeyHandle appKey = 0;
    if (m_hive.openKey(rootHandle(root), toCp936(L"Software\\" + AppName), appKey) != reg::Success) {
        RegKeyHandle software = 0;
        if (int32_t rc = m_hive.openKey(rootHandle(root), "Software", software); rc != reg::Success)
            cannotWrite(rc, path);
        KeyGuard softwareGuard(m_hive, software);
        if (int32_t rc = m_hive.createKey(software, toCp936(AppName), appKey); rc != reg::Success)
            cannotWrite(rc, path);
    }
    KeyGuard appGuard(m_hive, appKey);

    RegKeyHandle secKey = 0;
    if (int32_t rc = m_hive.createKey(appKey, toCp936(SecName), secKey); rc != reg::Success)
        cannotWrite(rc, path);
    KeyGuard secGuard(m_hive, secKey);

    std::string data = toCp936(KeyValue);
    data.push_back('\0');
    if (int32_t rc =
            m_hive.setValue(secKey, toCp936(KeyName), reg::Sz, reinterpret_cast<const uint8_t*>(data.data()),
                            static_cast<uint32_t>(data.size()));
        rc != reg::Success) {
        cannotWrite(rc, path);
    }
    return L"";
}

bool CRegistry::IsHaveIIS() {
    RegKeyHandle iis = 0;
    if (int32_t rc = m_hive.openKey(rootHandle(RegistryRoot::ClassesRoot), "IIS", iis); rc != reg::Success) {
        if (rc == reg::BadDatabase)
            throw RegistryError(rc, L"The registry cannot be read (error " + std::to_wstring(rc) + L")");
        return false;
    }
    m_hive.closeKey(iis);

    // The system directory comes in a buffer of 260 characters; the text
    // ends at its terminator.
    std::wstring system = m_fileSystem.systemDirectory().substr(0, 260);
    if (size_t nul = system.find(L'\0'); nul != std::wstring::npos) system.resize(nul);
    return m_fileSystem.folderExists(trimBlanks(system) + L"\\inetsrv");
}

}  // namespace t7
