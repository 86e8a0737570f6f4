#include "sqlengine/Lexer.h"

#include <cctype>

#include "sqlengine/Engine.h"

namespace sqlengine {

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

std::string toUpperAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return r;
}

std::string toLowerAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return r;
}

namespace {

bool isIdentStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '#' || c >= 0x80;
}

bool isIdentPart(unsigned char c) {
    return isIdentStart(c) || (c >= '0' && c <= '9') || c == '@' || c == '$';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string snippet(std::string_view sql, size_t from) {
    std::string s(sql.substr(from, 40));
    return s;
}

}  // namespace

std::vector<Token> tokenize(std::string_view sql) {
    std::vector<Token> out;
    out.reserve(sql.size() / 4 + 4);
    size_t i = 0;
    const size_t n = sql.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(sql[i]);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == 0) {
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n') ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            int depth = 0;
            size_t j = i;
            while (j < n) {
                if (sql[j] == '/' && j + 1 < n && sql[j + 1] == '*') {
                    ++depth;
                    j += 2;
                } else if (sql[j] == '*' && j + 1 < n && sql[j + 1] == '/') {
                    --depth;
                    j += 2;
                    if (depth == 0) break;
                } else {
                    ++j;
                }
            }
            if (depth != 0) throw SqlError(113, "Missing end comment mark '*/'.");
            i = j;
            continue;
        }
        Token t;
        t.begin = i;
        if ((c == 'N' || c == 'n') && i + 1 < n && sql[i + 1] == '\'') {
            ++i;
            c = '\'';
            t.kind = Tok::NString;
        }
        if (c == '\'') {
            if (t.kind != Tok::NString) t.kind = Tok::String;
            size_t j = i + 1;
            std::string value;
            for (;;) {
                if (j >= n)
                    throw SqlError(105,
                                   "Unclosed quotation mark after the character string '" + value + "'.");
                if (sql[j] == '\'') {
                    if (j + 1 < n && sql[j + 1] == '\'') {
                        value += '\'';
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += sql[j++];
            }
            t.text = std::move(value);
            i = j;
        } else if (c == '[') {
            t.kind = Tok::QuotedIdent;
            size_t j = i + 1;
            std::string value;
            for (;;) {
                if (j >= n)
                    throw SqlError(105,
                                   "Unclosed quotation mark after the character string '" + value + "'.");
                if (sql[j] == ']') {
                    if (j + 1 < n && sql[j + 1] == ']') {
                        value += ']';
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += sql[j++];
            }
            t.text = std::move(value);
            i = j;
        } else if (c == '"') {
            t.kind = Tok::QuotedIdent;
            size_t j = i + 1;
            std::string value;
            for (;;) {
                if (j >= n)
                    throw SqlError(105,
                                   "Unclosed quotation mark after the character string '" + value + "'.");
                if (sql[j] == '"') {
                    if (j + 1 < n && sql[j + 1] == '"') {
                        value += '"';
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += sql[j++];
            }
            t.text = std::move(value);
            i = j;
        } else if (c == '@') {
            t.kind = Tok::Variable;
            size_t j = i + 1;
            if (j < n && sql[j] == '@') ++j;
            while (j < n && isIdentPart(static_cast<unsigned char>(sql[j]))) ++j;
            if (j == i + 1) throw SqlError(102, "Incorrect syntax near '@'.");
            t.text = std::string(sql.substr(i, j - i));
            i = j;
        } else if (c == '0' && i + 1 < n && (sql[i + 1] == 'x' || sql[i + 1] == 'X')) {
            t.kind = Tok::Binary;
            size_t j = i + 2;
            while (j < n && std::isxdigit(static_cast<unsigned char>(sql[j]))) ++j;
            t.text = std::string(sql.substr(i + 2, j - i - 2));
            i = j;
        } else if (isDigit(static_cast<char>(c)) || (c == '.' && i + 1 < n && isDigit(sql[i + 1]))) {
            t.kind = Tok::Number;
            size_t j = i;
            while (j < n && isDigit(sql[j])) ++j;
            if (j < n && sql[j] == '.') {
                ++j;
                while (j < n && isDigit(sql[j])) ++j;
            }
            if (j < n && (sql[j] == 'e' || sql[j] == 'E')) {
                size_t k = j + 1;
                if (k < n && (sql[k] == '+' || sql[k] == '-')) ++k;
                if (k < n && isDigit(sql[k])) {
                    j = k;
                    while (j < n && isDigit(sql[j])) ++j;
                }
            }
            t.text = std::string(sql.substr(i, j - i));
            i = j;
        } else if (isIdentStart(c)) {
            t.kind = Tok::Ident;
            size_t j = i + 1;
            while (j < n && isIdentPart(static_cast<unsigned char>(sql[j]))) ++j;
            t.text = std::string(sql.substr(i, j - i));
            i = j;
        } else {
            t.kind = Tok::Op;
            static const char* const two[] = {"<>", "!=", "<=", ">=", "!<", "!>", "+=", "-=", "*=", "/="};
            bool matched = false;
            if (i + 1 < n) {
                for (const char* op : two) {
                    if (sql[i] == op[0] && sql[i + 1] == op[1]) {
                        t.text = op;
                        i += 2;
                        matched = true;
                        break;
                    }
                }
            }
            if (!matched) {
                static const std::string_view single = "=<>+-*/%&|^~(),.;:!";
                if (single.find(static_cast<char>(c)) == std::string_view::npos)
                    throw SqlError(102, "Incorrect syntax near '" + snippet(sql, i).substr(0, 1) + "'.");
                t.text = std::string(1, static_cast<char>(c));
                ++i;
            }
        }
        t.end = i;
        out.push_back(std::move(t));
    }
    Token end;
    end.kind = Tok::End;
    end.begin = end.end = n;
    out.push_back(end);
    return out;
}

}  // namespace sqlengine
