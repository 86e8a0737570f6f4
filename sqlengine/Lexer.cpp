#include "sqlengine/Lexer.h"

#include <array>

#include "sqlengine/Engine.h"
#include "sqlengine/Messages.h"

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

// ---- character classes -------------------------------------------------
enum CharClass : uint8_t {
    kBlank = 1,
    kIdentStart = 2,
    kIdentPart = 4,
    kDigit = 8,
    kHexDigit = 16,
    kSingleOp = 32,  // a character that is an operator on its own
};

constexpr std::array<uint8_t, 256> makeCharClasses() {
    std::array<uint8_t, 256> t{};
    for (unsigned char c : std::string_view(" \t\r\n\f\v")) t[c] |= kBlank;
    t[0] |= kBlank;
    for (int c = 0; c < 256; ++c) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        if (letter || c == '_' || c == '#' || c >= 0x80) t[c] |= kIdentStart | kIdentPart;
        if (digit || c == '@' || c == '$') t[c] |= kIdentPart;
        if (digit) t[c] |= kDigit;
        if (digit || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) t[c] |= kHexDigit;
    }
    for (unsigned char c : std::string_view("=<>+-*/%&|^~(),.;:!")) t[c] |= kSingleOp;
    return t;
}

constexpr std::array<uint8_t, 256> kCharClasses = makeCharClasses();

bool is(char c, CharClass cls) {
    return (kCharClasses[static_cast<unsigned char>(c)] & cls) != 0;
}

// ---- keywords ----------------------------------------------------------
// An open-addressing table from a hash of a word to its keyword number,
// built at compile time. The hash clears bit 5 of each character it looks
// at, so both cases of a letter hash alike; words that merely collide are
// told apart by the comparison in findKeyword.
constexpr size_t kKeywordSlots = 512;

constexpr size_t keywordSlot(std::string_view w) {
    auto fold = [](char c) { return static_cast<uint32_t>(static_cast<unsigned char>(c) & 0xDF); };
    const uint32_t key =
        static_cast<uint32_t>(w.size()) << 24 | fold(w[0]) << 16 | fold(w[1]) << 8 | fold(w.back());
    return (key * 2654435761u) >> 23;  // the top 9 bits: 0..511
}

struct KeywordTable {
    std::array<KeywordId, kKeywordSlots> slots{};
    size_t maxLength = 0;
};

constexpr KeywordTable makeKeywordTable() {
    KeywordTable t;
    for (size_t i = 0; i < std::size(kKeywords); ++i) {
        size_t s = keywordSlot(kKeywords[i]);
        while (t.slots[s] != 0) s = (s + 1) % kKeywordSlots;
        t.slots[s] = static_cast<KeywordId>(i + 1);
        if (kKeywords[i].size() > t.maxLength) t.maxLength = kKeywords[i].size();
    }
    return t;
}

constexpr KeywordTable kKeywordTable = makeKeywordTable();

// keywordSlot reads two characters, and findKeyword compares with
// upper-case letters and '_' only.
static_assert([] {
    for (std::string_view k : kKeywords) {
        if (k.size() < 2) return false;
        for (char c : k)
            if (!((c >= 'A' && c <= 'Z') || c == '_')) return false;
    }
    return true;
}());

// The keyword number of a plain identifier's text.
KeywordId findKeyword(std::string_view word) {
    if (word.size() < 2 || word.size() > kKeywordTable.maxLength) return 0;
    for (size_t s = keywordSlot(word);; s = (s + 1) % kKeywordSlots) {
        const KeywordId id = kKeywordTable.slots[s];
        if (id == 0) return 0;
        const std::string_view k = kKeywords[id - 1];
        if (k.size() != word.size()) continue;
        // Clearing bit 5 upper-cases a letter and turns no other identifier
        // character into a letter or '_', the characters of keywords.
        size_t i = 0;
        while (i < k.size() && (word[i] & 0xDF) == k[i]) ++i;
        if (i == k.size()) return id;
    }
}

// ---- quoted text -------------------------------------------------------
// The text of a string or quoted name: from `from` up to the closing quote,
// with doubled quotes undone, written to `dest`. Returns the index past the
// closing quote and the length written, or npos for the index when the text
// is not closed.
std::pair<size_t, size_t> unquote(std::string_view sql, size_t from, char quote, char* dest) {
    const size_t n = sql.size();
    char* d = dest;
    size_t j = from;
    for (;;) {
        if (j >= n) return {std::string_view::npos, static_cast<size_t>(d - dest)};
        if (sql[j] == quote) {
            if (j + 1 < n && sql[j + 1] == quote) {
                *d++ = quote;
                j += 2;
                continue;
            }
            return {j + 1, static_cast<size_t>(d - dest)};
        }
        *d++ = sql[j++];
    }
}

class Scanner {
public:
    explicit Scanner(std::string_view sql) : m_sql(sql) {}

    Tokens run(std::vector<Token> storage) {
        Tokens out;
        const std::string_view sql = m_sql;
        const size_t n = sql.size();
        out.list = std::move(storage);
        out.list.clear();
        out.list.reserve(n / 4 + 4);
        size_t i = 0;
        while (i < n) {
            const char c = sql[i];
            if (is(c, kBlank)) {
                ++i;
                continue;
            }
            if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
                const size_t eol = sql.find('\n', i + 2);
                i = eol == std::string_view::npos ? n : eol;
                continue;
            }
            if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
                i = skipBlockComment(i);
                continue;
            }
            Token& t = out.list.emplace_back();
            t.begin = i;
            if (is(c, kIdentStart) && !((c == 'N' || c == 'n') && i + 1 < n && sql[i + 1] == '\'')) {
                size_t j = i + 1;
                while (j < n && is(sql[j], kIdentPart)) ++j;
                t.kind = Tok::Ident;
                t.text = slice(i, j);
                t.keyword = findKeyword(t.text);
                i = j;
            } else if (c == '\'' || c == 'N' || c == 'n') {
                t.kind = c == '\'' ? Tok::String : Tok::NString;
                i = quoted(out, t, c == '\'' ? i + 1 : i + 2, '\'');
            } else if (c == '[') {
                t.kind = Tok::QuotedIdent;
                i = quoted(out, t, i + 1, ']');
            } else if (c == '"') {
                t.kind = Tok::QuotedIdent;
                i = quoted(out, t, i + 1, '"');
            } else if (c == '@') {
                size_t j = i + 1;
                if (j < n && sql[j] == '@') ++j;
                while (j < n && is(sql[j], kIdentPart)) ++j;
                if (j == i + 1) throw sqlError<Msg::SyntaxErrorNear>("@");
                t.kind = Tok::Variable;
                t.text = slice(i, j);
                i = j;
            } else if (c == '0' && i + 1 < n && (sql[i + 1] == 'x' || sql[i + 1] == 'X')) {
                size_t j = i + 2;
                while (j < n && is(sql[j], kHexDigit)) ++j;
                t.kind = Tok::Binary;
                t.text = slice(i + 2, j);
                i = j;
            } else if (is(c, kDigit) || (c == '.' && i + 1 < n && is(sql[i + 1], kDigit))) {
                t.kind = Tok::Number;
                const size_t j = numberEnd(i);
                t.text = slice(i, j);
                i = j;
            } else {
                const char c1 = i + 1 < n ? sql[i + 1] : '\0';
                const bool two = (c1 == '=' && (c == '<' || c == '>' || c == '!' || c == '+' || c == '-' ||
                                                c == '*' || c == '/')) ||
                                 (c == '<' && c1 == '>') || (c == '!' && (c1 == '<' || c1 == '>'));
                if (!two && !is(c, kSingleOp)) throw sqlError<Msg::SyntaxErrorNear>(std::string(1, c));
                t.kind = Tok::Op;
                t.text = slice(i, i + (two ? 2 : 1));
                t.op = opCode(t.text);
                i += t.text.size();
            }
            t.end = i;
        }
        Token& end = out.list.emplace_back();
        end.kind = Tok::End;
        end.begin = end.end = n;
        return out;
    }

private:
    std::string_view m_sql;
    size_t m_unquotedUsed = 0;

    // The source from `from` to `to`, both known to be in range.
    std::string_view slice(size_t from, size_t to) const { return {m_sql.data() + from, to - from}; }

    size_t skipBlockComment(size_t i) const {
        const std::string_view sql = m_sql;
        const size_t n = sql.size();
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
        if (depth != 0) throw sqlError<Msg::MissingEndComment>();
        return j;
    }

    size_t numberEnd(size_t i) const {
        const std::string_view sql = m_sql;
        const size_t n = sql.size();
        size_t j = i;
        while (j < n && is(sql[j], kDigit)) ++j;
        if (j < n && sql[j] == '.') {
            ++j;
            while (j < n && is(sql[j], kDigit)) ++j;
        }
        if (j < n && (sql[j] == 'e' || sql[j] == 'E')) {
            size_t k = j + 1;
            if (k < n && (sql[k] == '+' || sql[k] == '-')) ++k;
            if (k < n && is(sql[k], kDigit)) {
                j = k;
                while (j < n && is(sql[j], kDigit)) ++j;
            }
        }
        return j;
    }

    // Sets the text of a string or quoted name whose text starts at `from`;
    // returns the index past its closing quote.
    size_t quoted(Tokens& out, Token& t, size_t from, char quote) {
        const std::string_view sql = m_sql;
        const size_t close = sql.find(quote, from);
        if (close != std::string_view::npos && (close + 1 == sql.size() || sql[close + 1] != quote)) {
            t.text = slice(from, close);
            return close + 1;
        }
        return unquoteIntoStorage(out, t, from, quote);
    }

    // quoted() for a text with doubled quotes to undo, or with no end: the
    // text goes to `unquoted`.
    size_t unquoteIntoStorage(Tokens& out, Token& t, size_t from, char quote) {
        const std::string_view sql = m_sql;
        if (!out.unquoted) out.unquoted = std::make_unique_for_overwrite<char[]>(sql.size());
        char* dest = out.unquoted.get() + m_unquotedUsed;
        const auto [next, length] = unquote(sql, from, quote, dest);
        if (next == std::string_view::npos)
            throw sqlError<Msg::UnclosedQuote>(std::string_view(dest, length));
        m_unquotedUsed += length;
        t.text = std::string_view(dest, length);
        return next;
    }
};

}  // namespace

Tokens tokenize(std::string_view sql, std::vector<Token> storage) {
    return Scanner(sql).run(std::move(storage));
}

}  // namespace sqlengine
