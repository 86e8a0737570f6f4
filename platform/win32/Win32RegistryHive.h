#pragma once
// The registry hive over the system registry (advapi32, wide-character
// functions). Key paths, value names and string data arrive as code page
// 936 bytes and are converted here, in one place, so that they are stored
// right whatever the system's ANSI code page is. Keys are opened with the
// access the caller's token allows, as RegOpenKeyA does; results are the
// system's own error codes.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "platform/win32/WinHandle.h"
#include "settings/RegistryHive.h"

namespace t7 {

class Win32RegistryHive : public IRegistryHive {
public:
    int32_t openKey(RegKeyHandle parent, const std::string& subKey, RegKeyHandle& result) override;
    int32_t queryValue(RegKeyHandle key, const std::string& name, uint32_t* type, uint8_t* data,
                       uint32_t* size) override;
    int32_t createKey(RegKeyHandle parent, const std::string& subKey, RegKeyHandle& result) override;
    int32_t setValue(RegKeyHandle key, const std::string& name, uint32_t type, const uint8_t* data,
                     uint32_t size) override;
    int32_t closeKey(RegKeyHandle key) override;

    // Handles still open, for tests that check every handle is closed.
    size_t openHandles() const { return m_keys.size(); }

private:
    // The system key behind a handle of this interface; null when unknown.
    HKEY systemKey(RegKeyHandle handle) const;
    RegKeyHandle adopt(win32::RegKey key);

    std::map<RegKeyHandle, win32::RegKey> m_keys;
    RegKeyHandle m_next = 1;
};

}  // namespace t7
