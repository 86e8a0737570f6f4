#include "platform/machine/RegFile.h"

#include <algorithm>
#include <array>

namespace t7::regfile {
namespace {

constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00";
// Roots in the order the registry editor exports them.
constexpr std::array<std::u16string_view, 5> kRoots = {
    u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER", u"HKEY_LOCAL_MACHINE", u"HKEY_USERS", u"HKEY_CURRENT_CONFIG"};
// Hex data lines are wrapped before they grow past 80 characters.
constexpr size_t kWrapColumn = 77;

char16_t foldAscii(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

bool isStringType(uint32_t type) {
    return type == 1;
}

// A REG_SZ that can be written between quotes: whole characters, exactly
// one terminating NUL at the end, and no other control character.
bool quotable(const Value& value) {
    if (!isStringType(value.type) || value.data.size() < 2 || value.data.size() % 2 != 0) return false;
    std::u16string units = fromUtf16leBytes(value.data);
    if (units.back() != 0) return false;
    units.pop_back();
    return std::none_of(units.begin(), units.end(), [](char16_t c) { return c < 0x20; });
}

std::u16string quoted(std::u16string_view text) {
    std::u16string out = u"\"";
    for (char16_t c : text) {
        if (c == u'\\' || c == u'"') out += u'\\';
        out += c;
    }
    out += u'"';
    return out;
}

std::u16string hexByte(uint8_t b) {
    static const char16_t digits[] = u"0123456789abcdef";
    return {digits[b >> 4], digits[b & 15]};
}

std::u16string formatValue(const Value& value) {
    std::u16string line = value.name.empty() ? std::u16string(u"@") : quoted(value.name);
    line += u'=';
    if (quotable(value)) {
        std::u16string units = fromUtf16leBytes(value.data);
        units.pop_back();
        return line + quoted(units);
    }
    if (value.type == 4 && value.data.size() == 4) {
        std::u16string digits;
        for (int i = 3; i >= 0; --i) digits += hexByte(value.data[static_cast<size_t>(i)]);
        return line + u"dword:" + digits;
    }
    if (value.type == 3) {
        line += u"hex:";
    } else {
        std::u16string type;
        for (uint32_t t = value.type; type.empty() || t != 0; t >>= 4)
            type.insert(type.begin(), u"0123456789abcdef"[t & 15]);
        line += u"hex(" + type + u"):";
    }
    size_t lineStart = 0;
    for (size_t i = 0; i < value.data.size(); ++i) {
        line += hexByte(value.data[i]);
        if (i + 1 == value.data.size()) break;
        line += u',';
        if (line.size() - lineStart >= kWrapColumn) {
            line += u"\\\r\n  ";
            lineStart = line.size() - 2;
        }
    }
    return line;
}

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

std::u16string_view trimmed(std::u16string_view s) {
    while (!s.empty() && (s.front() == u' ' || s.front() == u'\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == u' ' || s.back() == u'\t')) s.remove_suffix(1);
    return s;
}

// Reads a quoted string at the start of s (with \\ and \" escapes) and
// advances s past it.
std::optional<std::u16string> readQuoted(std::u16string_view& s) {
    if (s.empty() || s.front() != u'"') return std::nullopt;
    std::u16string out;
    for (size_t i = 1; i < s.size(); ++i) {
        char16_t c = s[i];
        if (c == u'"') {
            s.remove_prefix(i + 1);
            return out;
        }
        if (c == u'\\') {
            if (i + 1 >= s.size() || (s[i + 1] != u'\\' && s[i + 1] != u'"')) return std::nullopt;
            c = s[++i];
        }
        out += c;
    }
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> readHexList(std::u16string_view s) {
    std::vector<uint8_t> bytes;
    s = trimmed(s);
    if (s.empty()) return bytes;
    while (true) {
        std::u16string_view item = s.substr(0, s.find(u','));
        item = trimmed(item);
        if (item.size() != 2 || hexDigit(item[0]) < 0 || hexDigit(item[1]) < 0) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(hexDigit(item[0]) * 16 + hexDigit(item[1])));
        size_t comma = s.find(u',');
        if (comma == std::u16string_view::npos) return bytes;
        s.remove_prefix(comma + 1);
    }
}

std::optional<Value> parseValue(std::u16string_view line) {
    Value value;
    if (line.starts_with(u"@")) {
        line.remove_prefix(1);
    } else {
        auto name = readQuoted(line);
        if (!name) return std::nullopt;
        value.name = *name;
    }
    line = trimmed(line);
    if (line.empty() || line.front() != u'=') return std::nullopt;
    line = trimmed(line.substr(1));
    if (line.starts_with(u"\"")) {
        auto text = readQuoted(line);
        if (!text || !trimmed(line).empty()) return std::nullopt;
        text->push_back(0);
        value.type = 1;
        value.data = toUtf16leBytes(*text);
        return value;
    }
    if (line.starts_with(u"dword:")) {
        line.remove_prefix(6);
        if (line.empty() || line.size() > 8) return std::nullopt;
        uint32_t n = 0;
        for (char16_t c : line) {
            if (hexDigit(c) < 0) return std::nullopt;
            n = n * 16 + static_cast<uint32_t>(hexDigit(c));
        }
        value.type = 4;
        value.data = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
                      static_cast<uint8_t>(n >> 24)};
        return value;
    }
    if (line.starts_with(u"hex:")) {
        value.type = 3;
        line.remove_prefix(4);
    } else if (line.starts_with(u"hex(")) {
        size_t close = line.find(u"):");
        if (close == std::u16string_view::npos || close == 4 || close > 12) return std::nullopt;
        uint32_t type = 0;
        for (char16_t c : line.substr(4, close - 4)) {
            if (hexDigit(c) < 0) return std::nullopt;
            type = type * 16 + static_cast<uint32_t>(hexDigit(c));
        }
        value.type = type;
        line.remove_prefix(close + 2);
    } else {
        // Deletions ("Name"=-) and anything else are not part of a stored registry.
        return std::nullopt;
    }
    auto bytes = readHexList(line);
    if (!bytes) return std::nullopt;
    value.data = std::move(*bytes);
    return value;
}

// Views into `text`, without their line ends.
std::vector<std::u16string_view> splitLines(std::u16string_view text) {
    std::vector<std::u16string_view> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t nl = text.find(u'\n', start);
        std::u16string_view line = text.substr(start, nl == std::u16string_view::npos ? nl : nl - start);
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        lines.push_back(line);
        if (nl == std::u16string_view::npos) break;
        start = nl + 1;
    }
    return lines;
}

std::u16string decodeUtf16le(std::string_view bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                       static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    }
    return out;
}

}  // namespace

bool equalNames(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
               return foldAscii(x) == foldAscii(y);
           });
}

size_t NameIndex::FoldedHash::operator()(std::u16string_view name) const {
    // FNV-1a over the folded code units.
    uint64_t hash = 14695981039346656037ull;
    for (char16_t c : name) {
        hash = (hash ^ foldAscii(c)) * 1099511628211ull;
    }
    return static_cast<size_t>(hash);
}

Key* Key::child(std::u16string_view childName) {
    return childIndex.find(children, childName);
}
const Key* Key::child(std::u16string_view childName) const {
    return const_cast<Key*>(this)->child(childName);
}

Value* Key::value(std::u16string_view valueName) {
    return valueIndex.find(values, valueName);
}
const Value* Key::value(std::u16string_view valueName) const {
    return const_cast<Key*>(this)->value(valueName);
}

Document::Document() {
    for (auto root : kRoots) m_roots.push_back(Key(std::u16string(root)));
    bool created = false;
    create({u"HKEY_LOCAL_MACHINE", u"Software"}, created);
}

Key* Document::find(const KeyPath& path) {
    if (path.empty()) return nullptr;
    Key* key = nullptr;
    for (Key& root : m_roots) {
        if (equalNames(root.name, path[0])) key = &root;
    }
    for (size_t i = 1; key && i < path.size(); ++i) key = key->child(path[i]);
    return key;
}
const Key* Document::find(const KeyPath& path) const {
    return const_cast<Document*>(this)->find(path);
}

Key* Document::create(const KeyPath& path, bool& created) {
    created = false;
    Key* key = find(KeyPath(path.begin(), path.begin() + (path.empty() ? 0 : 1)));
    for (size_t i = 1; key && i < path.size(); ++i) {
        Key* next = key->child(path[i]);
        if (!next) {
            key->children.push_back(Key(path[i]));
            next = &key->children.back();
            created = true;
        }
        key = next;
    }
    return key;
}

std::vector<const Key*> Document::sortedChildren(const Key& key) {
    std::vector<const Key*> sorted;
    for (const Key& k : key.children) sorted.push_back(&k);
    std::stable_sort(sorted.begin(), sorted.end(), [](const Key* a, const Key* b) {
        return std::lexicographical_compare(
            a->name.begin(), a->name.end(), b->name.begin(), b->name.end(),
            [](char16_t x, char16_t y) { return foldAscii(x) < foldAscii(y); });
    });
    return sorted;
}

std::optional<Document> Document::parse(const std::string& bytes) {
    if (bytes.size() < 2 || bytes.size() % 2 != 0 || static_cast<uint8_t>(bytes[0]) != 0xFF ||
        static_cast<uint8_t>(bytes[1]) != 0xFE) {
        return std::nullopt;
    }
    const std::u16string text = decodeUtf16le(std::string_view(bytes).substr(2));
    const std::vector<std::u16string_view> lines = splitLines(text);
    if (lines.empty() || lines[0] != kHeader) return std::nullopt;

    Document doc;
    Key* current = nullptr;
    for (size_t i = 1; i < lines.size(); ++i) {
        std::u16string_view view = trimmed(lines[i]);
        // Wrapped hex data continues on the next line.
        std::u16string joined;
        if (!view.empty() && view.back() == u'\\' && view.find(u"=hex") != std::u16string_view::npos) {
            joined = view;
            while (!joined.empty() && joined.back() == u'\\' && i + 1 < lines.size()) {
                joined.pop_back();
                joined += trimmed(lines[++i]);
            }
            view = trimmed(joined);
        }
        if (view.empty() || view.front() == u';') continue;
        if (view.front() == u'[') {
            if (view.back() != u']' || view.size() < 3 || view[1] == u'-') return std::nullopt;
            KeyPath path;
            std::u16string_view inner = view.substr(1, view.size() - 2);
            while (true) {
                size_t sep = inner.find(u'\\');
                std::u16string_view part = inner.substr(0, sep);
                if (part.empty()) return std::nullopt;
                path.emplace_back(part);
                if (sep == std::u16string_view::npos) break;
                inner.remove_prefix(sep + 1);
            }
            bool created = false;
            current = doc.create(path, created);
            if (!current) return std::nullopt;
            continue;
        }
        if (!current) return std::nullopt;
        auto value = parseValue(view);
        if (!value) return std::nullopt;
        if (Value* existing = current->value(value->name)) {
            *existing = std::move(*value);
        } else {
            current->values.push_back(std::move(*value));
        }
    }
    return doc;
}

std::string Document::format() const {
    std::u16string text(kHeader);
    text += u"\r\n";
    forEachKey([&](const std::u16string& path, const Key& key) {
        bool isRoot = path.find(u'\\') == std::u16string::npos;
        if (isRoot && key.values.empty()) return;
        text += u"\r\n[" + path + u"]\r\n";
        for (const Value& value : key.values) text += formatValue(value) + u"\r\n";
    });
    text += u"\r\n";
    std::string out(2 + 2 * text.size(), '\0');
    out[0] = '\xFF';
    out[1] = '\xFE';
    for (size_t i = 0; i < text.size(); ++i) {
        out[2 + 2 * i] = static_cast<char>(text[i] & 0xFF);
        out[3 + 2 * i] = static_cast<char>(text[i] >> 8);
    }
    return out;
}

std::u16string toUtf16(std::wstring_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<uint32_t>(wc);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c > 0x10FFFF ? 0xFFFD : c);
        }
    }
    return out;
}

std::wstring fromUtf16(std::u16string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            out += static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            out += static_cast<wchar_t>(c);
        }
    }
    return out;
}

std::vector<uint8_t> toUtf16leBytes(std::u16string_view text) {
    std::vector<uint8_t> out(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        out[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
        out[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
    return out;
}

std::u16string fromUtf16leBytes(const std::vector<uint8_t>& bytes) {
    return decodeUtf16le(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace t7::regfile
