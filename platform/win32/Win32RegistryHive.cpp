#include "platform/win32/Win32RegistryHive.h"

#include <cstring>
#include <vector>

#include "base/Text.h"

namespace t7 {
namespace {

bool isStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::wstring wide(const std::string& cp936) {
    return fromCp936(cp936);
}

// The stored bytes of a value, read whole however large they are.
LSTATUS readValue(HKEY key, const std::wstring& name, DWORD& type, std::vector<BYTE>& bytes) {
    DWORD size = 0;
    LSTATUS rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
    while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
        bytes.assign(size, 0);
        DWORD got = size;
        rc =
            RegQueryValueExW(key, name.c_str(), nullptr, &type, bytes.empty() ? nullptr : bytes.data(), &got);
        if (rc == ERROR_SUCCESS) {
            bytes.resize(got);
            return rc;
        }
        size = got;  // the value grew meanwhile; try again with its new size
    }
    return rc;
}

}  // namespace

HKEY Win32RegistryHive::systemKey(RegKeyHandle handle) const {
    switch (handle) {
        case rootHandle(RegistryRoot::ClassesRoot):
            return HKEY_CLASSES_ROOT;
        case rootHandle(RegistryRoot::LocalMachine):
            return HKEY_LOCAL_MACHINE;
        default:
            break;
    }
    auto it = m_keys.find(handle);
    return it == m_keys.end() ? nullptr : it->second.get();
}

RegKeyHandle Win32RegistryHive::adopt(win32::RegKey key) {
    // Handles count up from 1 and never reach the predefined roots.
    while (m_keys.count(m_next) || m_next >= rootHandle(RegistryRoot::ClassesRoot)) {
        m_next = m_next >= rootHandle(RegistryRoot::ClassesRoot) ? 1 : m_next + 1;
    }
    const RegKeyHandle handle = m_next++;
    m_keys.emplace(handle, std::move(key));
    return handle;
}

int32_t Win32RegistryHive::openKey(RegKeyHandle parent, const std::string& subKey, RegKeyHandle& result) {
    HKEY from = systemKey(parent);
    if (!from) return reg::InvalidHandle;
    win32::RegKey key;
    const LSTATUS rc = RegOpenKeyExW(from, wide(subKey).c_str(), 0, MAXIMUM_ALLOWED, key.receive());
    if (rc != ERROR_SUCCESS) return rc;
    result = adopt(std::move(key));
    return reg::Success;
}

int32_t Win32RegistryHive::createKey(RegKeyHandle parent, const std::string& subKey, RegKeyHandle& result) {
    HKEY from = systemKey(parent);
    if (!from) return reg::InvalidHandle;
    win32::RegKey key;
    const LSTATUS rc = RegCreateKeyExW(from, wide(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       MAXIMUM_ALLOWED, nullptr, key.receive(), nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    result = adopt(std::move(key));
    return reg::Success;
}

int32_t Win32RegistryHive::queryValue(RegKeyHandle key, const std::string& name, uint32_t* type,
                                      uint8_t* data, uint32_t* size) {
    HKEY from = systemKey(key);
    if (!from) return reg::InvalidHandle;
    if (!size) return reg::InvalidParameter;
    DWORD storedType = REG_NONE;
    std::vector<BYTE> stored;
    const LSTATUS rc = readValue(from, wide(name), storedType, stored);
    if (rc != ERROR_SUCCESS) return rc;

    // Strings are kept as UTF-16 and handed out as code page 936 bytes.
    std::string bytes;
    if (isStringType(storedType)) {
        std::wstring text(stored.size() / sizeof(wchar_t), L'\0');
        std::memcpy(text.data(), stored.data(), text.size() * sizeof(wchar_t));
        bytes = toCp936(text);
    } else {
        bytes.assign(stored.begin(), stored.end());
    }
    if (type) *type = storedType;
    const auto needed = static_cast<uint32_t>(bytes.size());
    if (!data) {
        *size = needed;
        return reg::Success;
    }
    if (*size < needed) {
        *size = needed;
        return reg::MoreData;
    }
    std::memcpy(data, bytes.data(), bytes.size());
    *size = needed;
    return reg::Success;
}

int32_t Win32RegistryHive::setValue(RegKeyHandle key, const std::string& name, uint32_t type,
                                    const uint8_t* data, uint32_t size) {
    HKEY to = systemKey(key);
    if (!to) return reg::InvalidHandle;
    if (!data && size > 0) return reg::InvalidParameter;
    std::vector<BYTE> bytes;
    DWORD count = size;
    if (isStringType(type)) {
        const std::wstring text = fromCp936(std::string(reinterpret_cast<const char*>(data), size));
        count = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        // RegSetValueExW adds a terminator to a string whose last character
        // is not NUL when a NUL follows it in memory; a character that is
        // not NUL after the data keeps the value exactly as given.
        bytes.assign(count + sizeof(wchar_t), 0xFF);
        std::memcpy(bytes.data(), text.data(), count);
    } else if (size > 0) {
        bytes.assign(data, data + size);
    }
    // An empty value still gets a data pointer: some systems reject a null one.
    static const BYTE nothing = 0;
    return RegSetValueExW(to, wide(name).c_str(), 0, type, bytes.empty() ? &nothing : bytes.data(), count);
}

int32_t Win32RegistryHive::closeKey(RegKeyHandle key) {
    if (key == rootHandle(RegistryRoot::ClassesRoot) || key == rootHandle(RegistryRoot::LocalMachine)) {
        return reg::Success;
    }
    auto it = m_keys.find(key);
    if (it == m_keys.end()) return reg::InvalidHandle;
    m_keys.erase(it);
    return reg::Success;
}

}  // namespace t7

namespace t7 {

std::unique_ptr<IRegistryHive> makeRegistryHive() {
    return std::make_unique<Win32RegistryHive>();
}

}  // namespace t7
