#include "resources/ScriptResources.h"

#include "base/AppError.h"
#include "base/Text.h"
#include "resources/EmbeddedResources.h"

namespace t7 {

ResourceTable& ResourceTable::instance() {
    static ResourceTable table;
    static const bool filled = [] {
        std::size_t count = 0;
        const EmbeddedResource* embedded = embeddedResources(count);
        for (std::size_t i = 0; i < count; ++i) {
            table.addStatic(
                embedded[i].name, embedded[i].type,
                std::string_view(reinterpret_cast<const char*>(embedded[i].bytes), embedded[i].size));
        }
        return true;
    }();
    (void)filled;
    return table;
}

std::list<ResourceTable::Entry>::iterator ResourceTable::locate(std::wstring_view name,
                                                                std::wstring_view type) {
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (equalsIgnoreCase(it->name, name) && equalsIgnoreCase(it->type, type)) return it;
    }
    return m_entries.end();
}

void ResourceTable::add(std::wstring_view name, std::wstring_view type, std::string bytes) {
    std::lock_guard lock(m_mutex);
    auto it = locate(name, type);
    if (it == m_entries.end()) it = m_entries.insert(m_entries.end(), Entry{});
    it->name = name;
    it->type = type;
    it->owned = std::move(bytes);
    it->bytes = it->owned;
}

void ResourceTable::addStatic(std::wstring_view name, std::wstring_view type, std::string_view bytes) {
    std::lock_guard lock(m_mutex);
    auto it = locate(name, type);
    if (it == m_entries.end()) it = m_entries.insert(m_entries.end(), Entry{});
    it->name = name;
    it->type = type;
    it->owned.clear();
    it->bytes = bytes;
}

bool ResourceTable::remove(std::wstring_view name, std::wstring_view type) {
    std::lock_guard lock(m_mutex);
    auto it = locate(name, type);
    if (it == m_entries.end()) return false;
    m_entries.erase(it);
    return true;
}

std::optional<std::string_view> ResourceTable::find(std::wstring_view name, std::wstring_view type) const {
    std::lock_guard lock(m_mutex);
    for (const Entry& e : m_entries) {
        if (equalsIgnoreCase(e.name, name) && equalsIgnoreCase(e.type, type)) return e.bytes;
    }
    return std::nullopt;
}

namespace {

std::wstring fromUtf16Le(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size() / 2);
    // An odd last byte is half a character and carries no text.
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        auto unit = [&](std::size_t k) {
            return static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * k])) |
                   static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * k + 1])) << 8;
        };
        uint32_t c = unit(i);
        // Wide strings of two bytes (Windows) are UTF-16 themselves and keep
        // the pair; four-byte ones hold the character.
        if (sizeof(wchar_t) == 4 && c >= 0xD800 && c <= 0xDBFF && i + 1 < units) {
            uint32_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        out += static_cast<wchar_t>(c);
    }
    return out;
}

}  // namespace

std::wstring decodeScriptBytes(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::wstring text = fromUtf16Le(bytes);
        return text.substr(1);
    }
    return fromCp936(bytes);
}

std::wstring LoadScriptText(const ResourceTable& table, std::wstring_view resourceName) {
    std::optional<std::string_view> bytes = table.find(resourceName, kScriptResourceType);
    if (!bytes) {
        throw AppError(kResourceNotFound,
                       L"Resource with identifier '" + std::wstring(resourceName) + L"' not found");
    }
    return decodeScriptBytes(*bytes);
}

std::wstring LoadScriptText(std::wstring_view resourceName) {
    return LoadScriptText(ResourceTable::instance(), resourceName);
}

}  // namespace t7
