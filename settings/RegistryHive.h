#pragma once
// The registry hive service: the handful of registry operations the settings
// store needs, shaped like the ANSI registry functions of Windows
// (RegOpenKeyA, RegQueryValueExA, RegCreateKeyA, RegSetValueExA,
// RegCloseKey). Key paths, value names and string data cross this interface
// as code page 936 bytes, as they cross the ANSI functions; an
// implementation stores wide text and converts, so a character without a
// code page 936 form has already become "?" when it arrives here.
//
// Every operation returns a Windows error code (reg::Success on success) and
// never raises.
#include <cstdint>
#include <memory>
#include <string>

namespace t7 {

// The predefined root keys the wizard uses, with their Windows values.
enum class RegistryRoot : uint32_t {
    ClassesRoot = 0x80000000u,   // HKEY_CLASSES_ROOT
    LocalMachine = 0x80000002u,  // HKEY_LOCAL_MACHINE
};

// A key handle: a predefined root (rootHandle) or a handle returned by
// openKey/createKey, valid until closeKey.
using RegKeyHandle = uint32_t;

constexpr RegKeyHandle rootHandle(RegistryRoot root) {
    return static_cast<RegKeyHandle>(root);
}

namespace reg {
// Result codes (Windows system error codes).
constexpr int32_t Success = 0;
constexpr int32_t FileNotFound = 2;  // key or value missing
constexpr int32_t PathNotFound = 3;
constexpr int32_t AccessDenied = 5;
constexpr int32_t InvalidHandle = 6;
constexpr int32_t InvalidParameter = 87;
constexpr int32_t BadPathname = 161;
constexpr int32_t MoreData = 234;      // buffer too small; size holds the size needed
constexpr int32_t BadDatabase = 1009;  // the hive cannot be read
constexpr int32_t CannotWrite = 1013;  // the hive cannot be saved
constexpr int32_t KeyDeleted = 1018;   // the handle's key has gone

// Value types.
constexpr uint32_t None = 0;
constexpr uint32_t Sz = 1;
constexpr uint32_t ExpandSz = 2;
constexpr uint32_t Binary = 3;
constexpr uint32_t Dword = 4;
constexpr uint32_t MultiSz = 7;
}  // namespace reg

class IRegistryHive {
public:
    virtual ~IRegistryHive() = default;

    // Opens the existing key subKey ("Software\Ostrel\Install", components
    // separated by one backslash) below parent. An empty subKey opens parent
    // itself. Nothing is created. FileNotFound when a component is missing.
    virtual int32_t openKey(RegKeyHandle parent, const std::string& subKey, RegKeyHandle& result) = 0;

    // Queries the value `name` of key. With data == nullptr, only *size is
    // set to the size in bytes of the data. Otherwise *size is the buffer
    // size on entry; the data is copied and *size set to the bytes written,
    // or MoreData returned with *size set to the size needed. String types
    // come back as code page 936 bytes, their terminating NUL included as it
    // was stored. type may be nullptr. FileNotFound when the value is missing
    // (and *size is left untouched).
    virtual int32_t queryValue(RegKeyHandle key, const std::string& name, uint32_t* type, uint8_t* data,
                               uint32_t* size) = 0;

    // Opens subKey below parent, creating every missing component.
    virtual int32_t createKey(RegKeyHandle parent, const std::string& subKey, RegKeyHandle& result) = 0;

    // Stores size bytes of data as the value `name` of key, replacing any
    // value of that name. String types are taken as code page 936 bytes;
    // exactly `size` bytes are kept, embedded NUL bytes included.
    virtual int32_t setValue(RegKeyHandle key, const std::string& name, uint32_t type, const uint8_t* data,
                             uint32_t size) = 0;

    // Releases a handle. Closing a predefined root is allowed and does
    // nothing.
    virtual int32_t closeKey(RegKeyHandle key) = 0;
};

// The registry of the platform the program was built for: the system
// registry on Windows, the machine folder's registry.reg elsewhere.
std::unique_ptr<IRegistryHive> makeRegistryHive();

}  // namespace t7
