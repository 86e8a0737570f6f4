#include "platform/machine/MachineRegistryHive.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>
#include <system_error>

#include "base/DurableFile.h"
#include "base/Text.h"
#include "platform/machine/RegFile.h"

namespace t7 {
namespace {

// Registry limits: 255 characters for a key name, 16383 for a value name.
constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxValueName = 16383;

bool isStringType(uint32_t type) {
    return type == reg::Sz || type == reg::ExpandSz || type == reg::MultiSz;
}

std::u16string ansiToUtf16(const std::string& bytes) {
    return regfile::toUtf16(fromCp936(bytes));
}

// Reads the hive. A missing file is an empty registry.
int32_t load(const std::filesystem::path& file, regfile::Document& doc) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(file, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        doc = regfile::Document();
        return reg::Success;
    }
    // Reading a FIFO would wait for a writer, and a folder or a device is
    // no hive; neither is ever read or replaced.
    if (ec) return reg::AccessDenied;
    if (status.type() != std::filesystem::file_type::regular) return reg::BadDatabase;
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) return reg::AccessDenied;
    std::string bytes(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad() || in.gcount() != static_cast<std::streamsize>(bytes.size())) return reg::AccessDenied;
    auto parsed = regfile::Document::parse(bytes);
    if (!parsed) return reg::BadDatabase;
    doc = std::move(*parsed);
    return reg::Success;
}

// Replaces the hive with doc through the durable write routine: a reader
// sees the old file or the new one, never half of one.
int32_t save(const std::filesystem::path& file, const regfile::Document& doc) {
    const std::error_code ec = writeFileDurably(file, doc.format());
    if (!ec) return reg::Success;
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
        ec == std::errc::read_only_file_system)
        return reg::AccessDenied;
    return ec == std::errc::no_such_file_or_directory ? reg::PathNotFound : reg::CannotWrite;
}

}  // namespace

int32_t MachineRegistryHive::resolve(RegKeyHandle handle, KeyPath& path) const {
    if (handle == rootHandle(RegistryRoot::LocalMachine)) {
        path = {u"HKEY_LOCAL_MACHINE"};
        return reg::Success;
    }
    if (handle == rootHandle(RegistryRoot::ClassesRoot)) {
        path = {u"HKEY_CLASSES_ROOT"};
        return reg::Success;
    }
    auto it = m_handles.find(handle);
    if (it == m_handles.end()) return reg::InvalidHandle;
    path = it->second;
    return reg::Success;
}

int32_t MachineRegistryHive::splitSubKey(const std::string& subKey, KeyPath& path) const {
    std::u16string text = ansiToUtf16(subKey);
    if (text.empty()) return reg::Success;
    size_t start = 0;
    while (true) {
        size_t sep = text.find(u'\\', start);
        std::u16string part = text.substr(start, sep == std::u16string::npos ? sep : sep - start);
        if (part.empty()) return reg::BadPathname;
        if (part.size() > kMaxKeyName) return reg::InvalidParameter;
        path.push_back(std::move(part));
        if (sep == std::u16string::npos) return reg::Success;
        start = sep + 1;
    }
}

RegKeyHandle MachineRegistryHive::newHandle(KeyPath path) {
    while (m_handles.count(m_nextHandle) || m_nextHandle == 0 || (m_nextHandle & 0x80000000u)) {
        m_nextHandle = m_nextHandle + 1 >= 0x80000000u ? 0x100 : m_nextHandle + 1;
    }
    RegKeyHandle handle = m_nextHandle++;
    m_handles.emplace(handle, std::move(path));
    return handle;
}

int32_t MachineRegistryHive::openKey(RegKeyHandle parent, const std::string& subKey, RegKeyHandle& result) {
    KeyPath path;
    if (int32_t rc = resolve(parent, path); rc != reg::Success) return rc;
    const size_t parentDepth = path.size();
    if (int32_t rc = splitSubKey(subKey, path); rc != reg::Success) return rc;
    regfile::Document doc;
    if (int32_t rc = load(m_file, doc); rc != reg::Success) return rc;
    if (!doc.find(KeyPath(path.begin(), path.begin() + static_cast<ptrdiff_t>(parentDepth)))) {
        return reg::KeyDeleted;
    }
    if (!doc.find(path)) return reg::FileNotFound;
    result = newHandle(std::move(path));
    return reg::Success;
}

int32_t MachineRegistryHive::createKey(RegKeyHandle parent, const std::string& subKey, RegKeyHandle& result) {
    KeyPath path;
    if (int32_t rc = resolve(parent, path); rc != reg::Success) return rc;
    const size_t parentDepth = path.size();
    if (int32_t rc = splitSubKey(subKey, path); rc != reg::Success) return rc;
    regfile::Document doc;
    if (int32_t rc = load(m_file, doc); rc != reg::Success) return rc;
    if (!doc.find(KeyPath(path.begin(), path.begin() + static_cast<ptrdiff_t>(parentDepth)))) {
        return reg::KeyDeleted;
    }
    bool created = false;
    if (!doc.create(path, created)) return reg::FileNotFound;
    if (created) {
        if (int32_t rc = save(m_file, doc); rc != reg::Success) return rc;
    }
    result = newHandle(std::move(path));
    return reg::Success;
}

int32_t MachineRegistryHive::queryValue(RegKeyHandle key, const std::string& name, uint32_t* type,
                                        uint8_t* data, uint32_t* size) {
    if (data && !size) return reg::InvalidParameter;
    KeyPath path;
    if (int32_t rc = resolve(key, path); rc != reg::Success) return rc;
    regfile::Document doc;
    if (int32_t rc = load(m_file, doc); rc != reg::Success) return rc;
    const regfile::Key* node = doc.find(path);
    if (!node) return reg::KeyDeleted;
    const regfile::Value* value = node->value(ansiToUtf16(name));
    if (!value) return reg::FileNotFound;

    std::string bytes;
    if (isStringType(value->type)) {
        bytes = toCp936(regfile::fromUtf16(regfile::fromUtf16leBytes(value->data)));
    } else {
        bytes.assign(value->data.begin(), value->data.end());
    }
    if (type) *type = value->type;
    if (!size) return reg::Success;
    const auto needed = static_cast<uint32_t>(bytes.size());
    if (data) {
        if (*size < needed) {
            *size = needed;
            return reg::MoreData;
        }
        std::memcpy(data, bytes.data(), bytes.size());
    }
    *size = needed;
    return reg::Success;
}

int32_t MachineRegistryHive::setValue(RegKeyHandle key, const std::string& name, uint32_t type,
                                      const uint8_t* data, uint32_t size) {
    if (!data && size != 0) return reg::InvalidParameter;
    KeyPath path;
    if (int32_t rc = resolve(key, path); rc != reg::Success) return rc;
    std::u16string valueName = ansiToUtf16(name);
    if (valueName.size() > kMaxValueName) return reg::InvalidParameter;
    regfile::Document doc;
    if (int32_t rc = load(m_file, doc); rc != reg::Success) return rc;
    regfile::Key* node = doc.find(path);
    if (!node) return reg::KeyDeleted;

    regfile::Value value{valueName, type, {}};
    std::string bytes = data ? std::string(reinterpret_cast<const char*>(data), size) : std::string();
    if (isStringType(type)) {
        value.data = regfile::toUtf16leBytes(ansiToUtf16(bytes));
    } else {
        value.data.assign(bytes.begin(), bytes.end());
    }
    if (regfile::Value* existing = node->value(valueName)) {
        // The value keeps its place and the case of its name.
        existing->type = value.type;
        existing->data = std::move(value.data);
    } else {
        node->values.push_back(std::move(value));
    }
    return save(m_file, doc);
}

int32_t MachineRegistryHive::closeKey(RegKeyHandle key) {
    if (key == rootHandle(RegistryRoot::LocalMachine) || key == rootHandle(RegistryRoot::ClassesRoot)) {
        return reg::Success;
    }
    return m_handles.erase(key) ? reg::Success : reg::InvalidHandle;
}

}  // namespace t7
