#pragma once
// The registry hive of a machine folder: <machine>/registry.reg, in the
// registry editor's export format (UTF-16LE with BOM, CR LF, "Windows
// Registry Editor Version 5.00"), so the file can be imported on a real
// server. HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT live in the same file.
//
// Every operation reads the file afresh, and every change rewrites it
// atomically (temporary file, then rename). A missing file is an empty
// registry (HKEY_LOCAL_MACHINE\Software exists, as on every Windows
// machine). A file that cannot be parsed is never overwritten: every
// operation then fails with reg::BadDatabase.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/machine/MachineFolder.h"
#include "settings/RegistryHive.h"

namespace t7 {

class MachineRegistryHive : public IRegistryHive {
public:
    explicit MachineRegistryHive(const MachineFolder& machine) : m_file(machine.registryFile()) {}
    explicit MachineRegistryHive(std::filesystem::path registryFile) : m_file(std::move(registryFile)) {}

    int32_t openKey(RegKeyHandle parent, const std::string& subKey, RegKeyHandle& result) override;
    int32_t queryValue(RegKeyHandle key, const std::string& name, uint32_t* type, uint8_t* data,
                       uint32_t* size) override;
    int32_t createKey(RegKeyHandle parent, const std::string& subKey, RegKeyHandle& result) override;
    int32_t setValue(RegKeyHandle key, const std::string& name, uint32_t type, const uint8_t* data,
                     uint32_t size) override;
    int32_t closeKey(RegKeyHandle key) override;

    const std::filesystem::path& file() const { return m_file; }

private:
    // A key as its root name and components, in the case first seen.
    using KeyPath = std::vector<std::u16string>;
    int32_t resolve(RegKeyHandle handle, KeyPath& path) const;
    int32_t splitSubKey(const std::string& subKey, KeyPath& path) const;
    RegKeyHandle newHandle(KeyPath path);

    std::filesystem::path m_file;
    std::map<RegKeyHandle, KeyPath> m_handles;
    RegKeyHandle m_nextHandle = 0x100;
};

}  // namespace t7
