#pragma once
// Splits T-SQL text into tokens. Comments (line and nested block comments)
// and blanks are dropped; every token keeps its byte range in the source so
// that definitions can be stored with their original text.
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sqlengine {

enum class Tok : uint8_t {
    End,
    Ident,        // plain identifier, text as written
    QuotedIdent,  // [bracketed] or "quoted": text unquoted
    Variable,     // @name or @@name, text with the at signs
    String,       // 'text' with doubled quotes undone
    NString,      // N'text'
    Number,       // 12, 1.5, 1e3
    Binary,       // 0x1F, text is the hex digits
    Op,           // punctuation and operators
};

// The words the parser looks for. The lexer marks a plain identifier that
// spells one of them, in any case, with its number, so that the parser tests
// for a keyword by comparing numbers instead of text. Upper case, sorted.
// clang-format off
inline constexpr std::string_view kKeywords[] = {
    "ACTION", "ADD", "AFTER", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "BEGIN", "BETWEEN", "BREAK", "BY",
    "CASCADE", "CASE", "CAST", "CHECK", "CLOSE", "CLUSTERED", "COLLATE", "COLUMN", "COMMIT", "CONSTRAINT",
    "CONTINUE", "CONVERT", "CREATE", "CROSS", "CURRENT_TIMESTAMP", "CURSOR", "DATABASE", "DEALLOCATE",
    "DECLARE", "DEFAULT", "DEFAULT_SCHEMA", "DELETE", "DENY", "DESC", "DISABLE", "DISTINCT", "DROP", "ELSE",
    "ENABLE", "END", "ESCAPE", "EXCEPT", "EXEC", "EXECUTE", "EXISTS", "FETCH", "FOR", "FOREIGN", "FROM",
    "FULL", "FUNCTION", "GB", "GO", "GOTO", "GRANT", "GROUP", "HAVING", "IDENTITY", "IDENTITY_INSERT", "IF",
    "IN", "INCLUDE", "INDEX", "INNER", "INSERT", "INSTEAD", "INTERSECT", "INTO", "IS", "JOIN", "KB", "KEY",
    "LEFT", "LIKE", "LOG", "LOGIN", "MAX", "MB", "NO", "NOCHECK", "NONCLUSTERED", "NOT", "NULL", "NULLIF",
    "OF", "OFF", "OLD_PASSWORD", "ON", "OPEN", "OPTION", "OR", "ORDER", "OUT", "OUTER", "OUTPUT", "OVER",
    "PARTITION", "PERCENT", "PRECISION", "PRIMARY", "PRINT", "PROC", "PROCEDURE", "PUBLIC", "RAISERROR",
    "REFERENCES", "REPLICATION", "RETURN", "REVOKE", "RIGHT", "ROLLBACK", "ROWGUIDCOL", "SAVE", "SELECT",
    "SET", "SOME", "TABLE", "TB", "TEXTIMAGE_ON", "THEN", "TO", "TOP", "TRAN", "TRANSACTION", "TRIGGER",
    "TRUNCATE", "UNION", "UNIQUE", "UNLIMITED", "UPDATE", "USE", "USER", "VALUES", "VIEW", "WHEN", "WHERE",
    "WHILE", "WITH", "WITHOUT", "WORK",
};
// clang-format on

// 0 for a token that is no keyword, else one more than its index in kKeywords.
using KeywordId = uint8_t;
static_assert(std::size(kKeywords) < 255);

constexpr char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

// Fails to compile (a throw in constant evaluation) for a word not in the table.
consteval KeywordId keywordId(std::string_view word) {
    for (size_t i = 0; i < std::size(kKeywords); ++i) {
        const std::string_view k = kKeywords[i];
        if (k.size() != word.size()) continue;
        size_t j = 0;
        while (j < k.size() && upperAscii(word[j]) == k[j]) ++j;
        if (j == k.size()) return static_cast<KeywordId>(i + 1);
    }
    throw "not in kKeywords";
}

// A keyword named in the parser's source; `peekKw("SELECT")` compiles to a
// comparison with a constant.
struct Keyword {
    KeywordId id;
    consteval Keyword(const char* word) : id(keywordId(word)) {}
};

// The one or two characters of an operator token packed into a number.
constexpr uint16_t opCode(std::string_view op) {
    return static_cast<uint16_t>(static_cast<unsigned char>(op[0]) |
                                 (op.size() > 1 ? static_cast<unsigned char>(op[1]) << 8 : 0));
}

// An operator named in the parser's source, compared as a number.
struct Punct {
    uint16_t code;
    consteval Punct(const char* op) : code(opCode(op)) {
        const std::string_view s = op;
        if (s.empty() || s.size() > 2) throw "an operator has one or two characters";
    }
};

struct Token {
    Tok kind = Tok::End;
    KeywordId keyword = 0;  // for Tok::Ident only
    uint16_t op = 0;        // opCode(text) for Tok::Op only
    // A view of the source where the text is spelled there as it is, else of
    // the storage in the Tokens that hold this token.
    std::string_view text;
    size_t begin = 0;
    size_t end = 0;
};

// The tokens of one text, ending with a Tok::End token. Token texts view the
// source text or `unquoted`, so both must outlive them; anything kept longer
// copies the text.
struct Tokens {
    std::vector<Token> list;
    // Texts of strings and quoted names whose doubled quotes were undone.
    // Allocated once at the source's size when first needed, as those texts
    // together are never longer than the source; so it never moves.
    std::unique_ptr<char[]> unquoted;
};

// Raises SqlError 105 for an unclosed string, 113 for an unclosed comment
// and 102 for a character that starts no token. The list is built in
// `storage`, whose capacity is kept.
Tokens tokenize(std::string_view sql, std::vector<Token> storage = {});

// Case-insensitive comparison of ASCII text.
bool equalsIgnoreCase(std::string_view a, std::string_view b);
std::string toUpperAscii(std::string_view s);
std::string toLowerAscii(std::string_view s);

}  // namespace sqlengine
