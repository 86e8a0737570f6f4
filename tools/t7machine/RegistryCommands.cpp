#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>

#include "base/Text.h"
#include "platform/machine/MachineFileSystem.h"
#include "platform/machine/MachineRegistryHive.h"
#include "platform/machine/RegFile.h"
#include "settings/CRegistry.h"
#include "tools/t7machine/Commands.h"

namespace t7::machine {
namespace {

std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

regfile::Document loadRegistry(const MachineFolder& machine) {
    const auto file = machine.registryFile();
    if (!std::filesystem::exists(file)) return regfile::Document();
    auto doc = regfile::Document::parse(readBytes(file));
    if (!doc) throw CommandError{file.string() + " is not a registry export; left as it is"};
    return std::move(*doc);
}

// Value data as text: string types decoded from UTF-16LE without their
// terminating NUL, dwords in decimal, anything else as hex bytes; control
// characters as \xNN.
std::string displayValue(const regfile::Value& value) {
    std::string out;
    char hex[8];
    if (value.type == 1 || value.type == 2 || value.type == 7) {
        std::u16string units = regfile::fromUtf16leBytes(value.data);
        if (!units.empty() && units.back() == 0) units.pop_back();
        for (wchar_t c : regfile::fromUtf16(units)) {
            if (c < 0x20 || c == 0x7F) {
                std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
                out += hex;
            } else {
                out += toUtf8(std::wstring(1, c));
            }
        }
        return out;
    }
    if (value.type == 4 && value.data.size() == 4) {
        uint32_t n = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                     (static_cast<uint32_t>(value.data[3]) << 24);
        return std::to_string(n);
    }
    for (size_t i = 0; i < value.data.size(); ++i) {
        std::snprintf(hex, sizeof hex, i ? ",%02x" : "%02x", value.data[i]);
        out += hex;
    }
    return out;
}

}  // namespace

void initRegistry(const MachineFolder& machine, const InitOptions& options) {
    // Refuse to work on a registry that cannot be read rather than lose it.
    loadRegistry(machine);
    MachineRegistryHive hive(machine);
    MachineFileSystem fileSystem(machine);
    RegKeyHandle key = 0;
    // Creating the Software key writes registry.reg when it is missing and
    // leaves an existing one's values alone.
    if (hive.createKey(rootHandle(RegistryRoot::LocalMachine), "Software", key) != reg::Success) {
        throw CommandError{"cannot write " + machine.registryFile().string()};
    }
    hive.closeKey(key);
    if (options.webServer) {
        if (hive.createKey(rootHandle(RegistryRoot::ClassesRoot), "IIS", key) != reg::Success) {
            throw CommandError{"cannot write " + machine.registryFile().string()};
        }
        hive.closeKey(key);
        std::filesystem::create_directories(machine.inetsrvFolder());
    }
    if (options.sqlPwd) {
        CRegistry registry(hive, fileSystem);
        registry.SetKeyValue(L"Ostrel", L"Install", L"sqlPwd", fromUtf8(*options.sqlPwd),
                             RegistryRoot::LocalMachine);
        if (registry.GetKeyValue(L"Ostrel", L"Install", L"sqlPwd", RegistryRoot::LocalMachine) !=
            fromCp936(toCp936(fromUtf8(*options.sqlPwd)))) {
            throw CommandError{"cannot store sqlPwd in " + machine.registryFile().string()};
        }
    }
}

int printRegistry(const MachineFolder& machine, std::ostream& out) {
    const regfile::Document doc = loadRegistry(machine);
    doc.forEachKey([&](const std::u16string& path, const regfile::Key& key) {
        const std::string keyText = toUtf8(regfile::fromUtf16(path));
        for (const regfile::Value& value : key.values) {
            std::string name = value.name.empty() ? "@" : toUtf8(regfile::fromUtf16(value.name));
            out << keyText << '\\' << name << '=' << displayValue(value) << '\n';
        }
    });
    return 0;
}

}  // namespace t7::machine
