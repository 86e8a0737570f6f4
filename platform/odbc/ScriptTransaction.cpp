#include "platform/odbc/ScriptTransaction.h"

#include <algorithm>
#include <string_view>

namespace t7::odbc {
namespace {

bool isWordChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_' ||
           c == L'@' || c == L'#' || c == L'$' || c > 0x7f;
}

wchar_t upperAscii(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// Hands each bare word of `text` to `visit` until it returns false;
// comments, string literals and bracketed or double-quoted names are left
// out. A word joined to the next by a dot ("dbo.sp_x") is one word.
template <class Visit>
void forEachBareWord(std::wstring_view text, Visit visit) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        wchar_t c = text[i];
        if (c == L'-' && i + 1 < n && text[i + 1] == L'-') {
            size_t end = text.find(L'\n', i);
            i = end == std::wstring_view::npos ? n : end + 1;
        } else if (c == L'/' && i + 1 < n && text[i + 1] == L'*') {
            // Block comments nest.
            int depth = 0;
            do {
                if (text.compare(i, 2, L"/*") == 0) {
                    ++depth;
                    i += 2;
                } else if (text.compare(i, 2, L"*/") == 0) {
                    --depth;
                    i += 2;
                } else {
                    ++i;
                }
            } while (i < n && depth > 0);
        } else if (c == L'\'' || c == L'"' || c == L'[') {
            // A doubled closing character stands for itself.
            const wchar_t close = c == L'[' ? L']' : c;
            for (++i; i < n; ++i) {
                if (text[i] != close) continue;
                if (i + 1 < n && text[i + 1] == close) {
                    ++i;
                    continue;
                }
                break;
            }
            ++i;
        } else if (isWordChar(c)) {
            size_t start = i;
            while (i < n && (isWordChar(text[i]) || text[i] == L'.')) ++i;
            if (!visit(text.substr(start, i - start))) return;
        } else {
            ++i;
        }
    }
}

bool is(std::wstring_view word, std::wstring_view upperKeyword) {
    if (word.size() != upperKeyword.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (upperAscii(word[i]) != upperKeyword[i]) return false;
    return true;
}

bool isOneOf(std::wstring_view word, std::initializer_list<std::wstring_view> list) {
    return std::any_of(list.begin(), list.end(), [&](std::wstring_view k) { return is(word, k); });
}

bool isProcedureName(std::wstring_view word) {
    size_t dot = word.rfind(L'.');
    std::wstring_view last = dot == std::wstring_view::npos ? word : word.substr(dot + 1);
    return last.size() > 3 && (is(last.substr(0, 3), L"SP_") || is(last.substr(0, 3), L"XP_"));
}

bool batchFits(std::wstring_view batch) {
    bool fits = true;
    size_t index = 0;
    bool create = false, definition = false;
    forEachBareWord(batch, [&](std::wstring_view word) {
        if (index == 0) {
            // A batch that begins with a procedure's name calls it.
            if (isProcedureName(word)) return fits = false;
            create = isOneOf(word, {L"CREATE", L"ALTER"});
        } else if (index == 1) {
            definition = create && isOneOf(word, {L"PROC", L"PROCEDURE", L"FUNCTION", L"TRIGGER", L"VIEW"});
        }
        ++index;
        if (word.size() > 11) return true;
        if (isOneOf(word, {L"DATABASE", L"BACKUP", L"RESTORE", L"RECONFIGURE", L"LOGIN", L"FULLTEXT",
                           L"STATISTICS", L"DBCC", L"KILL", L"SHUTDOWN"}))
            return fits = false;
        if (!definition &&
            isOneOf(word, {L"EXEC", L"EXECUTE", L"TRAN", L"TRANSACTION", L"COMMIT", L"ROLLBACK", L"SAVE"}))
            return fits = false;
        return true;
    });
    return fits;
}

}  // namespace

bool fitsOneTransaction(const std::vector<std::wstring>& batches) {
    return std::all_of(batches.begin(), batches.end(), [](const std::wstring& b) { return batchFits(b); });
}

}  // namespace t7::odbc
