#include "database/WebConfig.h"

#include <pugixml.hpp>

#include <fstream>
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

pugi::xml_encoding encodingOf(const std::string& bytes, bool& bom) {
    auto at = [&](size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u; };
    bom = true;
    if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return pugi::encoding_utf8;
    if (at(0) == 0xFF && at(1) == 0xFE) return pugi::encoding_utf16_le;
    if (at(0) == 0xFE && at(1) == 0xFF) return pugi::encoding_utf16_be;
    bom = false;
    return pugi::encoding_utf8;
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
std::string serialize(const pugi::xml_document& document, pugi::xml_encoding encoding, bool bom, bool crlf) {
    std::string_view mark;
    if (bom && encoding == pugi::encoding_utf8) mark = "\xEF\xBB\xBF";
    if (bom && encoding == pugi::encoding_utf16_le) mark = "\xFF\xFE";
    if (bom && encoding == pugi::encoding_utf16_be) mark = "\xFE\xFF";
    StringWriter writer;
    writer.text.append(mark);
    const std::string newline = encodeAscii(crlf ? "\r\n" : "\n", encoding);
    for (pugi::xml_node node : document.children()) {
        node.print(writer, "", pugi::format_raw | pugi::format_no_declaration, encoding);
        writer.text += newline;
    }
    return writer.text;
}

}  // namespace

std::wstring connectionText(const std::wstring& server, const std::wstring& user, const std::wstring& password,
                            const std::wstring& database) {
    return L"server=" + quoteValue(server) + L";uid=" + quoteValue(user) + L";pwd=" + quoteValue(password) +
           L";database=" + quoteValue(database);
}

void updateConnectionString(IFileSystem& fileSystem, const std::wstring& installPath, const std::wstring& server,
                            const std::wstring& user, const std::wstring& password,
                            const std::wstring& database) {
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
    bool bom = false;
    const pugi::xml_encoding encoding = encodingOf(bytes, bom);

    pugi::xml_document document;
    // Whitespace, comments, the declaration and processing instructions are
    // all kept as nodes, so a raw save writes the file back as it was
    // except for the one attribute.
    pugi::xml_parse_result parsed =
        document.load_buffer(bytes.data(), bytes.size(), (pugi::parse_full | pugi::parse_ws_pcdata) & ~pugi::parse_eol, pugi::encoding_auto);
    pugi::xml_node entry;
    if (parsed) {
        entry = document.document_element().select_node("connectionStrings/add[@name=\"Ostrel\"]").node();
    }
    if (!entry) {
        throw AppError(91, L"Object variable or With block variable not set");
    }
    pugi::xml_attribute attribute = entry.attribute("connectionString");
    if (!attribute) attribute = entry.append_attribute("connectionString");
    attribute.set_value(toUtf8(text).c_str());

    std::string out = serialize(document, encoding, bom, bytes.find("\r\n") != std::string::npos);
    removeLeftoverTemporaries(file);
    if (writeFileDurably(file, out)) throw AppError(75, L"Path/File access error: " + configPath);
}

}  // namespace t7
