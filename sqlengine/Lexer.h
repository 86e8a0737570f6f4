#pragma once
// Splits T-SQL text into tokens. Comments (line and nested block comments)
// and blanks are dropped; every token keeps its byte range in the source so
// that definitions can be stored with their original text.
#include <string>
#include <string_view>
#include <vector>

namespace sqlengine {

enum class Tok {
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

struct Token {
    Tok kind = Tok::End;
    std::string text;
    size_t begin = 0;
    size_t end = 0;
};

// Raises SqlError 105 for an unclosed string, 113 for an unclosed comment
// and 102 for a character that starts no token.
std::vector<Token> tokenize(std::string_view sql);

// Case-insensitive comparison of ASCII text.
bool equalsIgnoreCase(std::string_view a, std::string_view b);
std::string toUpperAscii(std::string_view s);
std::string toLowerAscii(std::string_view s);

}  // namespace sqlengine
