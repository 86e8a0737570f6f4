#pragma once
// The registry editor's export format ("Windows Registry Editor Version
// 5.00"): UTF-16LE with a byte order mark, CR LF line ends, one
// [ROOT\Key\Path] header per key followed by its values:
//   "Name"="text"          a string (REG_SZ) without control characters; \ and " escaped
//   "Name"=hex(1):41,00,00,00   any other string, as its UTF-16LE bytes
//   "Name"=dword:0000002a  "Name"=hex:01,02   "Name"=hex(7):...   other types
//   @=...                  the key's default value
// Long hex data is wrapped with a trailing "\" and continued on the next
// line, indented. Lines beginning with ";" are comments.
//
// The model keeps value data as raw bytes, exactly as the registry does
// (string types in UTF-16LE with their terminating NUL), so that every value
// the format can hold round-trips byte for byte.
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace t7::regfile {

struct Value {
    std::u16string name;  // empty: the default value
    uint32_t type = 1;
    std::vector<uint8_t> data;
};

bool equalNames(std::u16string_view a, std::u16string_view b);

// Finds entries of a vector by name (case-insensitive) in constant time.
// It follows the vector lazily: entries appended since the last lookup are
// indexed then, so callers may push_back freely. Any other change to the
// vector (erase, rename, reorder) must be followed by reset().
class NameIndex {
public:
    template <class Entry>
    Entry* find(std::vector<Entry>& entries, std::u16string_view name) const {
        if (m_indexed > entries.size()) reset();
        for (; m_indexed < entries.size(); ++m_indexed)
            m_positions.try_emplace(entries[m_indexed].name, m_indexed);
        auto it = m_positions.find(name);
        return it == m_positions.end() ? nullptr : &entries[it->second];
    }
    void reset() const {
        m_positions.clear();
        m_indexed = 0;
    }

private:
    struct FoldedHash {
        using is_transparent = void;
        size_t operator()(std::u16string_view name) const;
    };
    struct FoldedEqual {
        using is_transparent = void;
        bool operator()(std::u16string_view a, std::u16string_view b) const { return equalNames(a, b); }
    };

    mutable std::unordered_map<std::u16string, size_t, FoldedHash, FoldedEqual> m_positions;
    mutable size_t m_indexed = 0;
};

struct Key {
    Key() = default;
    explicit Key(std::u16string keyName) : name(std::move(keyName)) {}

    std::u16string name;
    std::vector<Value> values;
    std::vector<Key> children;

    Key* child(std::u16string_view childName);
    const Key* child(std::u16string_view childName) const;
    Value* value(std::u16string_view valueName);
    const Value* value(std::u16string_view valueName) const;

    NameIndex childIndex;
    NameIndex valueIndex;
};

// A key path: the root's name ("HKEY_LOCAL_MACHINE"), then the components.
using KeyPath = std::vector<std::u16string>;

class Document {
public:
    // An empty registry: the predefined roots, and HKEY_LOCAL_MACHINE\Software.
    Document();

    // Empty when the bytes are not a well-formed export.
    static std::optional<Document> parse(const std::string& bytes);
    std::string format() const;

    // Names compare case-insensitively; nullptr when missing.
    Key* find(const KeyPath& path);
    const Key* find(const KeyPath& path) const;
    // Creates the missing components (the root must exist); `created` tells
    // whether anything was added. nullptr for an unknown root.
    Key* create(const KeyPath& path, bool& created);

    // Visits every key below the roots, parents first, children in name
    // order, with the full path text ("HKEY_LOCAL_MACHINE\Software\Ostrel").
    template <class Visit>
    void forEachKey(Visit&& visit) const {
        for (const Key& root : m_roots) visitKey(root, root.name, visit);
    }

private:
    template <class Visit>
    static void visitKey(const Key& key, const std::u16string& path, Visit& visit) {
        visit(path, key);
        for (const Key* child : sortedChildren(key)) visitKey(*child, path + u"\\" + child->name, visit);
    }
    static std::vector<const Key*> sortedChildren(const Key& key);

    std::vector<Key> m_roots;
};

// Wide text to UTF-16 code units and back (surrogate pairs for characters
// beyond the Basic Multilingual Plane).
std::u16string toUtf16(std::wstring_view text);
std::wstring fromUtf16(std::u16string_view text);
std::vector<uint8_t> toUtf16leBytes(std::u16string_view text);
// An odd last byte is dropped.
std::u16string fromUtf16leBytes(const std::vector<uint8_t>& bytes);

}  // namespace t7::regfile
