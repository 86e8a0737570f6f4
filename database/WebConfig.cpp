#include "database/WebConfig.h"

#include <cctype>
#include <cstdint>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>
#include <string_view>

#include "base/AppError.h"
#include "base/DurableFile.h"
#include "base/FileSystem.h"
#include "base/Text.h"

namespace t7 {
namespace {

std::wstring quoteValue(const std::wstring& value) {
    bool needsQuotes = value.find(L';') != std::wstring::npos ||
                       (!value.empty() && (value[0] == L'"' || value[0] == L'\'' || value[0] == L' '));
    if (!needsQuotes) return value;
    // Prefer double quotes; a value holding a double quote but no
    // apostrophe goes in apostrophes; holding both, the double quotes
    // inside are doubled.
    if (value.find(L'"') == std::wstring::npos) return L"\"" + value + L"\"";
    if (value.find(L'\'') == std::wstring::npos) return L"'" + value + L"'";
    std::wstring out = L"\"";
    for (wchar_t c : value) {
        out += c;
        if (c == L'"') out += L'"';
    }
    return out + L"\"";
}

// How the file is written: the byte order mark it began with and the
// encoding its bytes are in.
struct FileEncoding {
    enum class Kind {
        Utf8,
        Utf16le,
        Utf16be,
        // Code page 936 (gb2312, GBK): ASCII-compatible, read through the
        // parser as opaque bytes.
        Cp936,
        // Any other ASCII-compatible encoding it declares: only ASCII is
        // written, the rest as character references.
        AsciiOnly,
    };
    Kind kind = Kind::Utf8;
    bool bom = false;

    pugi::xml_encoding parserEncoding() const {
        if (kind == Kind::Utf16le) return pugi::encoding_utf16_le;
        if (kind == Kind::Utf16be) return pugi::encoding_utf16_be;
        return pugi::encoding_utf8;
    }
};

// The encoding="..." of an XML declaration written in ASCII, in lower case;
// empty when there is none.
std::string declaredEncoding(const std::string& bytes) {
    const size_t start = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    if (bytes.compare(start, 5, "<?xml") != 0) return {};
    const size_t end = bytes.find("?>", start);
    const std::string declaration = bytes.substr(start, end == std::string::npos ? 0 : end - start);
    size_t at = declaration.find("encoding");
    if (at == std::string::npos) return {};
    at = declaration.find_first_not_of(" \t\r\n", at + 8);
    if (at == std::string::npos || declaration[at] != '=') return {};
    at = declaration.find_first_not_of(" \t\r\n", at + 1);
    if (at == std::string::npos || (declaration[at] != '"' && declaration[at] != '\'')) return {};
    const size_t close = declaration.find(declaration[at], at + 1);
    if (close == std::string::npos) return {};
    std::string name = declaration.substr(at + 1, close - at - 1);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

// A byte order mark decides; without one, UTF-16 shows in the zero bytes
// of its first "<", and an ASCII-compatible file goes by its declaration.
FileEncoding encodingOf(const std::string& bytes) {
    using Kind = FileEncoding::Kind;
    auto at = [&](size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u; };
    if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return {Kind::Utf8, true};
    if (at(0) == 0xFF && at(1) == 0xFE) return {Kind::Utf16le, true};
    if (at(0) == 0xFE && at(1) == 0xFF) return {Kind::Utf16be, true};
    if (at(0) == '<' && at(1) == 0) return {Kind::Utf16le, false};
    if (at(0) == 0 && at(1) == '<') return {Kind::Utf16be, false};
    const std::string declared = declaredEncoding(bytes);
    // UTF-16 declared over 8-bit bytes is a mislabel; the bytes win.
    if (declared.empty() || declared == "utf-8" || declared == "utf8" || declared.starts_with("utf-16")) {
        return {Kind::Utf8, false};
    }
    for (const char* name :
         {"gb2312", "gbk", "cp936", "windows-936", "x-gbk", "gb18030", "x-euc-cn", "euc-cn"}) {
        if (declared == name) return {Kind::Cp936, false};
    }
    return {Kind::AsciiOnly, false};
}

// An attribute value as it goes into the file, between double quotes: the
// markup characters and line ends as references (so they read back as
// they are), every character the file's encoding cannot hold as a
// character reference, the rest in the bytes the parser works in.
std::string attributeText(const std::wstring& value, FileEncoding::Kind kind) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        const wchar_t c = value[i];
        switch (c) {
            case L'&':
                out += "&amp;";
                continue;
            case L'<':
                out += "&lt;";
                continue;
            case L'>':
                out += "&gt;";
                continue;
            case L'"':
                out += "&quot;";
                continue;
            default:
                break;
        }
        auto code = static_cast<uint32_t>(c);
        std::wstring character(1, c);
        // A surrogate pair (wide strings are UTF-16 on Windows) is one
        // character, and one reference when it must be one.
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < value.size()) {
            const auto low = static_cast<uint32_t>(value[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                character += value[++i];
            }
        }
        std::string bytes;
        if (code >= 0x20 && code < 0x7F) {
            bytes = std::string(1, static_cast<char>(code));
        } else if (code >= 0x80 && kind == FileEncoding::Kind::Cp936) {
            bytes = toCp936(character);
            if (bytes == "?") bytes.clear();
        } else if (code >= 0x80 && kind != FileEncoding::Kind::AsciiOnly && code <= 0x10FFFF &&
                   (code < 0xD800 || code > 0xDFFF)) {
            bytes = toUtf8(character);
        }
        out += bytes.empty() ? "&#" + std::to_string(code) + ";" : bytes;
    }
    return out;
}

struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};

std::string encodeAscii(const char* ascii, pugi::xml_encoding encoding) {
    std::string out;
    for (const char* p = ascii; *p; ++p) {
        if (encoding == pugi::encoding_utf16_le) {
            out += *p;
            out += '\0';
        } else if (encoding == pugi::encoding_utf16_be) {
            out += '\0';
            out += *p;
        } else {
            out += *p;
        }
    }
    return out;
}

// The parser keeps no white space between the top-level nodes
// (declaration, comments, root element); they go one to a line, with the
// line end the file used, so a file written by hand keeps its shape.
// Texts are written as they were read, references included.
std::string serialize(const pugi::xml_document& document, const FileEncoding& encoding, bool crlf) {
    const pugi::xml_encoding target = encoding.parserEncoding();
    std::string_view mark;
    if (encoding.bom && target == pugi::encoding_utf8) mark = "\xEF\xBB\xBF";
    if (encoding.bom && target == pugi::encoding_utf16_le) mark = "\xFF\xFE";
    if (encoding.bom && target == pugi::encoding_utf16_be) mark = "\xFE\xFF";
    StringWriter writer;
    writer.text.append(mark);
    const std::string newline = encodeAscii(crlf ? "\r\n" : "\n", target);
    for (pugi::xml_node node : document.children()) {
        node.print(writer, "", pugi::format_raw | pugi::format_no_declaration | pugi::format_no_escapes,
                   target);
        writer.text += newline;
    }
    return writer.text;
}

// Attribute values are kept as written, so one that held a double quote
// inside apostrophes needs it as a reference once it is written between
// double quotes.
void quoteSafe(pugi::xml_node node) {
    for (pugi::xml_attribute attribute : node.attributes()) {
        const std::string value = attribute.value();
        if (value.find('"') == std::string::npos) continue;
        std::string safe;
        for (char c : value) safe += c == '"' ? std::string("&quot;") : std::string(1, c);
        attribute.set_value(safe.c_str());
    }
    for (pugi::xml_node child : node.children()) quoteSafe(child);
}

}  // namespace

std::wstring connectionText(const std::wstring& server, const std::wstring& user,
                            const std::wstring& password, const std::wstring& database) {
    return L"server=" + quoteValue(server) + L";uid=" + quoteValue(user) + L";pwd=" + quoteValue(password) +
           L";database=" + quoteValue(database);
}

void updateConnectionString(IFileSystem& fileSystem, const std::wstring& installPath,
                            const std::wstring& server, const std::wstring& user,
                            const std::wstring& password, const std::wstring& database) {
    const std::wstring text = connectionText(server, user, password, database);
    const std::wstring configPath = installPath + L"\\Webroot\\web.config";
    if (!fileSystem.fileExists(configPath)) return;

    const std::filesystem::path file = fileSystem.nativePath(configPath);
    std::string bytes;
    {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream buffer;
        buffer << in.rdbuf();
        bytes = buffer.str();
    }
    const FileEncoding encoding = encodingOf(bytes);

    pugi::xml_document document;
    // Whitespace, comments, the declaration and processing instructions are
    // all kept as nodes, and texts stay as written (no references expanded,
    // no line ends or blanks in attributes changed), so a raw save writes
    // the file back as it was except for the one attribute.
    constexpr unsigned kParse = (pugi::parse_full | pugi::parse_ws_pcdata) &
                                ~(pugi::parse_eol | pugi::parse_escapes | pugi::parse_wconv_attribute);
    pugi::xml_parse_result parsed =
        document.load_buffer(bytes.data(), bytes.size(), kParse, encoding.parserEncoding());
    pugi::xml_node entry;
    if (parsed) {
        entry = document.document_element().select_node("connectionStrings/add[@name=\"Ostrel\"]").node();
    }
    if (!entry) {
        throw AppError(91, L"Object variable or With block variable not set");
    }
    quoteSafe(document);
    pugi::xml_attribute attribute = entry.attribute("connectionString");
    if (!attribute) attribute = entry.append_attribute("connectionString");
    attribute.set_value(attributeText(text, encoding.kind).c_str());

    const std::string crlf = encodeAscii("\r\n", encoding.parserEncoding());
    std::string out = serialize(document, encoding, bytes.find(crlf) != std::string::npos);
    removeLeftoverTemporaries(file);
    if (writeFileDurably(file, out)) throw AppError(75, L"Path/File access error: " + configPath);
}

}  // namespace t7
