#pragma once
// The wizard's persistent settings: string values under
// root\Software\<AppName>\<SecName>, and the question whether the web
// server (IIS) is installed. Runs over the registry hive service and the
// file system service; the process shares one instance.
#include <string>

#include "base/AppError.h"
#include "base/FileSystem.h"
#include "settings/RegistryHive.h"

namespace t7 {

// Texts GetKeyValue returns in place of a value; both begin with "fail to".
inline constexpr const wchar_t* kFailToOpenKey = L"fail to open key";
inline constexpr const wchar_t* kFailToGetValue = L"fail to get value";

// The registry itself failed: its file cannot be read, or a value cannot be
// written. The number is the hive's Windows error code.
class RegistryError : public AppError {
public:
    using AppError::AppError;
};

class CRegistry {
public:
    CRegistry(IRegistryHive& hive, IFileSystem& fileSystem) : m_hive(hive), m_fileSystem(fileSystem) {}

    // The text stored under KeyName in root\Software\AppName\SecName, ""
    // for an empty value, kFailToOpenKey when the key cannot be opened,
    // kFailToGetValue when the value is missing or unreadable. Never raises.
    // Text after an embedded NUL is kept; only the terminating NUL goes.
    std::wstring GetKeyValue(const std::wstring& AppName, const std::wstring& SecName,
                             const std::wstring& KeyName, RegistryRoot root);

    // Stores KeyValue as a string value (code page 936, with its terminating
    // NUL, embedded NULs kept) under KeyName, creating the AppName and SecName
    // keys when missing. The result is always empty. A value that cannot be
    // written raises RegistryError: the settings are what the installed
    // system runs on, so a lost one must not pass for a stored one.
    std::wstring SetKeyValue(const std::wstring& AppName, const std::wstring& SecName,
                             const std::wstring& KeyName, const std::wstring& KeyValue, RegistryRoot root);

    // True when the key HKEY_CLASSES_ROOT\IIS exists and the folder
    // <system directory>\inetsrv exists. A registry that cannot be read
    // raises RegistryError rather than passing for one without the key; an
    // AppError of the folder test propagates.
    bool IsHaveIIS();

private:
    IRegistryHive& m_hive;
    IFileSystem& m_fileSystem;
};

}  // namespace t7
