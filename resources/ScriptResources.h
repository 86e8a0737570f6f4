#pragma once
// The program's own resources: the SQL scripts that the build embeds, found
// by name and type the way the system's resource look-up finds them (letter
// case ignored), and the loader that turns a script resource into text.
#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace t7 {

// Resource type of the embedded SQL scripts.
inline constexpr std::wstring_view kScriptResourceType = L"CUSTOM";

// Error number raised when a resource is missing, as the runtime reports it.
inline constexpr int32_t kResourceNotFound = 326;

class ResourceTable {
public:
    // The table of this program: it starts with every resource the build
    // embedded.
    static ResourceTable& instance();

    // An empty table (tests build their own).
    ResourceTable() = default;
    ResourceTable(const ResourceTable&) = delete;
    ResourceTable& operator=(const ResourceTable&) = delete;

    // Adds a resource, or replaces the one with the same name and type
    // (letter case ignored). The table keeps its own copy of the bytes.
    void add(std::wstring_view name, std::wstring_view type, std::string bytes);
    // Adds a resource whose bytes live for the whole process (the embedded
    // ones); nothing is copied.
    void addStatic(std::wstring_view name, std::wstring_view type, std::string_view bytes);
    // Removes a resource; false when there was none.
    bool remove(std::wstring_view name, std::wstring_view type);

    // The stored bytes of a resource, or nothing when the table has none of
    // that name and type. Names and types compare ignoring letter case. The
    // view stays valid until the resource is replaced or removed.
    std::optional<std::string_view> find(std::wstring_view name, std::wstring_view type) const;

private:
    struct Entry {
        std::wstring name;
        std::wstring type;
        std::string owned;
        std::string_view bytes;
    };
    std::list<Entry>::iterator locate(std::wstring_view name, std::wstring_view type);

    mutable std::mutex m_mutex;
    std::list<Entry> m_entries;
};

// Text of a script resource of type "CUSTOM": bytes that begin FF FE are
// UTF-16 little-endian text whose first character (the byte-order mark) is
// dropped; any other bytes are code page 936 text. The text is returned as
// stored, including the NUL characters that pad the stored size to a
// multiple of four; whoever sends it to the server drops them. Raises
// AppError kResourceNotFound when the table has no such resource.
std::wstring LoadScriptText(std::wstring_view resourceName);
std::wstring LoadScriptText(const ResourceTable& table, std::wstring_view resourceName);

// Decodes the bytes of a script resource as LoadScriptText does.
std::wstring decodeScriptBytes(std::string_view bytes);

}  // namespace t7
