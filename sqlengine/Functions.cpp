#include "sqlengine/Functions.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "sqlengine/Lexer.h"
#include "sqlengine/Messages.h"
#include "sqlengine/SessionImpl.h"
#include "sqlengine/Sqlite.h"
#include "sqlengine/Values.h"

namespace sqlengine {

std::string encodeError(const SqlError& e) {
    return "T7ERR|" + std::to_string(e.number()) + "|" + e.message();
}

bool decodeError(const std::string& text, int& number, std::string& message) {
    size_t at = text.find("T7ERR|");
    if (at == std::string::npos) return false;
    size_t bar = text.find('|', at + 6);
    if (bar == std::string::npos) return false;
    number = std::atoi(text.c_str() + at + 6);
    message = text.substr(bar + 1);
    return true;
}

std::string objectNameFromText(const std::string& text) {
    // Split at dots outside brackets and quotes; the last part is the name.
    std::vector<std::string> parts(1);
    char close = 0;
    for (char c : text) {
        if (close) {
            if (c == close)
                close = 0;
            else
                parts.back() += c;
        } else if (c == '[') {
            close = ']';
        } else if (c == '"') {
            close = '"';
        } else if (c == '.') {
            parts.emplace_back();
        } else if (c != ' ') {
            parts.back() += c;
        }
    }
    // Objects of other databases (tempdb..#t) are never found here.
    if (parts.size() >= 3 && !parts[parts.size() - 3].empty() &&
        equalsIgnoreCase(parts[parts.size() - 3], "tempdb"))
        return std::string();
    if (!parts.back().empty() && parts.back()[0] == '#') return std::string();
    return parts.back();
}

void callGuarded(ScalarFunction fn, sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept {
    // SQLite is C: an exception must not unwind through it. Whatever a
    // function throws becomes the statement's error.
    try {
        fn(ctx, argc, argv);
    } catch (const SqlError& e) {
        std::string m = encodeError(e);
        sqlite3_result_error(ctx, m.c_str(), static_cast<int>(m.size()));
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    } catch (...) {
        sqlite3_result_error(ctx, "unexpected failure in a function", -1);
    }
}

namespace {

// What one text value may hold: SQLite's own limit.
constexpr unsigned long long kMaxTextBytes = 1000000000;

Value arg(sqlite3_value** argv, int i) {
    return valueOf(argv[i]);
}

bool anyNull(int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
    return false;
}

std::string textArg(sqlite3_value** argv, int i) {
    const unsigned char* t = sqlite3_value_text(argv[i]);
    return t ? std::string(reinterpret_cast<const char*>(t),
                           static_cast<size_t>(sqlite3_value_bytes(argv[i])))
             : std::string();
}

// UTF-8 characters as byte offsets.
std::vector<size_t> charStarts(const std::string& s) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
    return starts;
}

std::string charSlice(const std::string& s, long long from, long long count) {
    // from is 0-based in characters
    std::vector<size_t> st = charStarts(s);
    long long n = static_cast<long long>(st.size());
    if (from < 0) {
        count += from;
        from = 0;
    }
    if (count <= 0 || from >= n) return std::string();
    long long to = std::min(n, from + count);
    size_t b = st[static_cast<size_t>(from)];
    size_t e = to >= n ? s.size() : st[static_cast<size_t>(to)];
    return s.substr(b, e - b);
}

void fnGetdate(sqlite3_context* ctx, int, sqlite3_value**) {
    resultValue(ctx, Value::text(currentDateTime()));
}

void fnNewid(sqlite3_context* ctx, int, sqlite3_value**) {
    resultValue(ctx, Value::text(newGuid()));
}

void fnLen(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    std::string s = textArg(argv, 0);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    sqlite3_result_int64(ctx, static_cast<long long>(charStarts(s).size()));
}

void fnDatalength(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_INTEGER) return sqlite3_result_int64(ctx, 4);
    if (t == SQLITE_FLOAT) return sqlite3_result_int64(ctx, 8);
    sqlite3_result_int64(ctx, sqlite3_value_bytes(argv[0]));
}

void fnSubstring(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    long long start = sqlite3_value_int64(argv[1]);
    long long len = sqlite3_value_int64(argv[2]);
    if (len < 0) throw sqlError<Msg::InvalidSubstringLength>("LEFT or SUBSTRING");
    resultValue(ctx, Value::text(charSlice(textArg(argv, 0), start - 1, len)));
}

void fnLeft(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    long long len = sqlite3_value_int64(argv[1]);
    if (len < 0) throw sqlError<Msg::InvalidLengthParameter>("LEFT or SUBSTRING");
    resultValue(ctx, Value::text(charSlice(textArg(argv, 0), 0, len)));
}

void fnRight(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    long long len = sqlite3_value_int64(argv[1]);
    if (len < 0) throw sqlError<Msg::InvalidLengthParameter>("RIGHT");
    std::string s = textArg(argv, 0);
    long long n = static_cast<long long>(charStarts(s).size());
    resultValue(ctx, Value::text(charSlice(s, std::max(0LL, n - len), len)));
}

// Case-insensitive search, as under the server's case-insensitive collation.
size_t findIgnoreCase(const std::string& hay, const std::string& needle, size_t from) {
    if (needle.empty()) return std::string::npos;
    std::string h = toLowerAscii(hay), n = toLowerAscii(needle);
    return h.find(n, from);
}

void fnReplace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    std::string s = textArg(argv, 0), from = textArg(argv, 1), to = textArg(argv, 2);
    if (from.empty()) return resultValue(ctx, Value::text(s));
    std::string out;
    size_t pos = 0;
    for (;;) {
        size_t at = findIgnoreCase(s, from, pos);
        if (at == std::string::npos) break;
        out += s.substr(pos, at - pos);
        out += to;
        pos = at + from.size();
    }
    out += s.substr(pos);
    resultValue(ctx, Value::text(out));
}

void fnCharindex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    std::string needle = textArg(argv, 0), hay = textArg(argv, 1);
    long long start = argc > 2 ? sqlite3_value_int64(argv[2]) : 1;
    if (start < 1) start = 1;
    std::vector<size_t> st = charStarts(hay);
    if (static_cast<size_t>(start - 1) >= st.size()) return sqlite3_result_int64(ctx, 0);
    size_t at = findIgnoreCase(hay, needle, st[static_cast<size_t>(start - 1)]);
    if (at == std::string::npos) return sqlite3_result_int64(ctx, 0);
    long long chars = 0;
    for (size_t b : st) {
        if (b > at) break;
        ++chars;
    }
    sqlite3_result_int64(ctx, chars);
}

bool numericText(const std::string& s, double& d) {
    char* end = nullptr;
    std::string t = s;
    while (!t.empty() && t.back() == ' ') t.pop_back();
    size_t a = t.find_first_not_of(' ');
    if (a == std::string::npos) return false;
    d = std::strtod(t.c_str() + a, &end);
    return end && *end == '\0';
}

// T-SQL "+": strings concatenate, otherwise numbers add; a string meeting a
// number is converted to the number, as SQL Server's type precedence does.
void fnAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    int ta = sqlite3_value_type(argv[0]), tb = sqlite3_value_type(argv[1]);
    bool sa = ta == SQLITE_TEXT || ta == SQLITE_BLOB, sb = tb == SQLITE_TEXT || tb == SQLITE_BLOB;
    if (sa && sb) {
        std::string r = textArg(argv, 0) + textArg(argv, 1);
        return resultValue(ctx, Value::text(r));
    }
    auto num = [&](int i, int t, double& d, long long& n, bool& isInt) -> bool {
        if (t == SQLITE_INTEGER) {
            n = sqlite3_value_int64(argv[i]);
            isInt = true;
            return true;
        }
        if (t == SQLITE_FLOAT) {
            d = sqlite3_value_double(argv[i]);
            isInt = false;
            return true;
        }
        std::string s = textArg(argv, i);
        long long v;
        char* end = nullptr;
        v = std::strtoll(s.c_str(), &end, 10);
        if (end && *end == '\0' && !s.empty()) {
            n = v;
            isInt = true;
            return true;
        }
        if (numericText(s, d)) {
            isInt = false;
            return true;
        }
        return false;
    };
    double da = 0, db = 0;
    long long na = 0, nb = 0;
    bool ia = false, ib = false;
    if (!num(0, ta, da, na, ia)) {
        std::string m = encodeError(sqlError<Msg::ConversionFailed>("varchar", textArg(argv, 0), "int"));
        return sqlite3_result_error(ctx, m.c_str(), -1);
    }
    if (!num(1, tb, db, nb, ib)) {
        std::string m = encodeError(sqlError<Msg::ConversionFailed>("varchar", textArg(argv, 1), "int"));
        return sqlite3_result_error(ctx, m.c_str(), -1);
    }
    if (ia && ib) return sqlite3_result_int64(ctx, na + nb);
    sqlite3_result_double(ctx, (ia ? static_cast<double>(na) : da) + (ib ? static_cast<double>(nb) : db));
}

void fnXor(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]) ^ sqlite3_value_int64(argv[1]));
}

// LIKE with T-SQL's [set] and [^set] classes, case-insensitive.
bool likeMatch(const std::string& s, size_t si, const std::string& p, size_t pi, char esc) {
    while (pi < p.size()) {
        char c = p[pi];
        if (esc && c == esc && pi + 1 < p.size()) {
            if (si >= s.size() || std::tolower(static_cast<unsigned char>(s[si])) !=
                                      std::tolower(static_cast<unsigned char>(p[pi + 1])))
                return false;
            ++si;
            pi += 2;
            continue;
        }
        if (c == '%') {
            while (pi < p.size() && p[pi] == '%') ++pi;
            if (pi == p.size()) return true;
            for (size_t k = si; k <= s.size(); ++k)
                if (likeMatch(s, k, p, pi, esc)) return true;
            return false;
        }
        if (si >= s.size()) return false;
        // one character of s (UTF-8)
        size_t clen = 1;
        while (si + clen < s.size() && (static_cast<unsigned char>(s[si + clen]) & 0xC0) == 0x80) ++clen;
        if (c == '_') {
            si += clen;
            ++pi;
            continue;
        }
        if (c == '[') {
            size_t close = p.find(']', pi + 1);
            if (close != std::string::npos) {
                std::string set = p.substr(pi + 1, close - pi - 1);
                bool neg = !set.empty() && set[0] == '^';
                if (neg) set.erase(0, 1);
                char ch = static_cast<char>(std::tolower(static_cast<unsigned char>(s[si])));
                bool found = false;
                for (size_t k = 0; k < set.size(); ++k) {
                    char a = static_cast<char>(std::tolower(static_cast<unsigned char>(set[k])));
                    if (k + 2 < set.size() && set[k + 1] == '-') {
                        char b = static_cast<char>(std::tolower(static_cast<unsigned char>(set[k + 2])));
                        if (ch >= a && ch <= b) found = true;
                        k += 2;
                    } else if (ch == a) {
                        found = true;
                    }
                }
                if (found == neg) return false;
                si += clen;
                pi = close + 1;
                continue;
            }
        }
        size_t plen = 1;
        while (pi + plen < p.size() && (static_cast<unsigned char>(p[pi + plen]) & 0xC0) == 0x80) ++plen;
        if (clen != plen) return false;
        for (size_t k = 0; k < clen; ++k)
            if (std::tolower(static_cast<unsigned char>(s[si + k])) !=
                std::tolower(static_cast<unsigned char>(p[pi + k])))
                return false;
        si += clen;
        pi += plen;
    }
    return si == s.size();
}

void fnLike(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    std::string esc = argc > 2 ? textArg(argv, 2) : std::string();
    sqlite3_result_int(ctx, likeMatch(textArg(argv, 0), 0, textArg(argv, 1), 0, esc.empty() ? 0 : esc[0]));
}

// _t7_cast(value, type, length, precision, scale, style)
void fnCast(sqlite3_context* ctx, int, sqlite3_value** argv) {
    TypeSpec t;
    t.name = textArg(argv, 1);
    t.length = sqlite3_value_int(argv[2]);
    t.precision = sqlite3_value_int(argv[3]);
    t.scale = sqlite3_value_int(argv[4]);
    int style = sqlite3_value_type(argv[5]) == SQLITE_NULL ? -1 : sqlite3_value_int(argv[5]);
    resultValue(ctx, convertValue(arg(argv, 0), t, ConvertMode::Cast, style));
}

void fnObjname(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    std::string n = objectNameFromText(textArg(argv, 0));
    if (n.empty()) return sqlite3_result_null(ctx);
    resultValue(ctx, Value::text(n));
}

bool dateArg(sqlite3_value** argv, int i, int& y, int& mo, int& d, int& h, int& mi, int& s, int& ms) {
    Value v = arg(argv, i);
    TypeSpec t;
    t.name = "datetime";
    Value c = convertValue(v, t, ConvertMode::Cast);
    return parseDateTime(c.s, y, mo, d, h, mi, s, ms);
}

std::string partName(const std::string& p) {
    std::string u = toLowerAscii(p);
    if (u == "yy" || u == "yyyy" || u == "year") return "year";
    if (u == "mm" || u == "m" || u == "month") return "month";
    if (u == "dd" || u == "d" || u == "day") return "day";
    if (u == "hh" || u == "hour") return "hour";
    if (u == "mi" || u == "n" || u == "minute") return "minute";
    if (u == "ss" || u == "s" || u == "second") return "second";
    if (u == "ms" || u == "millisecond") return "millisecond";
    if (u == "dw" || u == "weekday") return "weekday";
    if (u == "dy" || u == "y" || u == "dayofyear") return "dayofyear";
    if (u == "wk" || u == "ww" || u == "week") return "week";
    if (u == "qq" || u == "q" || u == "quarter") return "quarter";
    throw sqlError<Msg::UnknownDatepartOption>(p, "datepart");
}

long long dayNumber(int y, int mo, int d) {
    // days since 1900-01-01
    auto civil = [](long long yy, unsigned m, unsigned dd) {
        yy -= m <= 2;
        const long long era = (yy >= 0 ? yy : yy - 399) / 400;
        const unsigned yoe = static_cast<unsigned>(yy - era * 400);
        const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + dd - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + static_cast<long long>(doe) - 719468;
    };
    return civil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) - civil(1900, 1, 1);
}

void fnDatepart(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::string part = partName(textArg(argv, 0));
    int y, mo, d, h, mi, s, ms;
    if (!dateArg(argv, 1, y, mo, d, h, mi, s, ms)) throw sqlError<Msg::DateConversionFailed>();
    long long r = 0;
    long long dn = dayNumber(y, mo, d);
    if (part == "year")
        r = y;
    else if (part == "month")
        r = mo;
    else if (part == "day")
        r = d;
    else if (part == "hour")
        r = h;
    else if (part == "minute")
        r = mi;
    else if (part == "second")
        r = s;
    else if (part == "millisecond")
        r = ms;
    else if (part == "weekday")
        r = (dn + 1) % 7 + 1;  // 1900-01-01 was a Monday; Sunday is 1
    else if (part == "dayofyear")
        r = dn - dayNumber(y, 1, 1) + 1;
    else if (part == "quarter")
        r = (mo - 1) / 3 + 1;
    else if (part == "week")
        r = (dn - dayNumber(y, 1, 1) + ((dayNumber(y, 1, 1) + 1) % 7)) / 7 + 1;
    sqlite3_result_int64(ctx, r);
}

void fromDayNumber(long long dn, int& y, int& mo, int& d) {
    // dn counts days from 1900-01-01, which is 25567 days before 1970-01-01.
    long long zz = dn - 25567 + 719468;
    const long long era = (zz >= 0 ? zz : zz - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(zz - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    mo = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (mo <= 2));
}

void fnNonzero(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int t = sqlite3_value_type(argv[0]);
    if ((t == SQLITE_INTEGER && sqlite3_value_int64(argv[0]) == 0) ||
        (t == SQLITE_FLOAT && sqlite3_value_double(argv[0]) == 0)) {
        std::string m = encodeError(sqlError<Msg::DivideByZero>());
        return sqlite3_result_error(ctx, m.c_str(), -1);
    }
    sqlite3_result_value(ctx, argv[0]);
}

// The result of int arithmetic, which SQLite did in 64 bits: past 32 bits
// it is SQL Server's overflow.
void fnInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
    long long v = sqlite3_value_int64(argv[0]);
    if (t != SQLITE_INTEGER || v < INT32_MIN || v > INT32_MAX)
        throw sqlError<Msg::ArithmeticOverflow>("expression", "int");
    sqlite3_result_int64(ctx, v);
}

void fnDateadd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    std::string part = partName(textArg(argv, 0));
    long long n = sqlite3_value_int64(argv[1]);
    if (n < INT32_MIN || n > INT32_MAX) throw sqlError<Msg::ArithmeticOverflow>("expression", "int");
    int y, mo, d, h, mi, s, ms;
    if (!dateArg(argv, 2, y, mo, d, h, mi, s, ms)) throw sqlError<Msg::DateConversionFailed>();
    if (part == "year" || part == "month" || part == "quarter") {
        long long months = part == "year" ? n * 12 : part == "quarter" ? n * 3 : n;
        long long total = static_cast<long long>(y) * 12 + (mo - 1) + months;
        y = static_cast<int>(total / 12);
        mo = static_cast<int>(total % 12) + 1;
        static const int dim[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        int maxd = dim[mo - 1] + (mo == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0));
        if (d > maxd) d = maxd;
    } else {
        long long unit = part == "day" || part == "dayofyear" || part == "weekday" ? 86400000LL
                         : part == "week"                                          ? 7 * 86400000LL
                         : part == "hour"                                          ? 3600000LL
                         : part == "minute"                                        ? 60000LL
                         : part == "second"                                        ? 1000LL
                                                                                   : 1LL;
        long long total =
            dayNumber(y, mo, d) * 86400000LL + h * 3600000LL + mi * 60000LL + s * 1000LL + ms + n * unit;
        long long dn = total >= 0 ? total / 86400000LL : (total - 86399999LL) / 86400000LL;
        long long rest = total - dn * 86400000LL;
        fromDayNumber(dn, y, mo, d);
        h = static_cast<int>(rest / 3600000);
        mi = static_cast<int>(rest / 60000 % 60);
        s = static_cast<int>(rest / 1000 % 60);
        ms = static_cast<int>(rest % 1000);
    }
    if (y < 1753 || y > 9999) throw sqlError<Msg::DatetimeOverflow>("datetime");
    resultValue(ctx, Value::text(formatDateTime(y, mo, d, h, mi, s, ms)));
}

void fnDatediff(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    std::string part = partName(textArg(argv, 0));
    int y1, mo1, d1, h1, mi1, s1, ms1, y2, mo2, d2, h2, mi2, s2, ms2;
    if (!dateArg(argv, 1, y1, mo1, d1, h1, mi1, s1, ms1) || !dateArg(argv, 2, y2, mo2, d2, h2, mi2, s2, ms2))
        throw sqlError<Msg::DateConversionFailed>();
    long long r = 0;
    long long dn1 = dayNumber(y1, mo1, d1), dn2 = dayNumber(y2, mo2, d2);
    if (part == "year")
        r = y2 - y1;
    else if (part == "quarter")
        r = (y2 * 4 + (mo2 - 1) / 3) - (y1 * 4 + (mo1 - 1) / 3);
    else if (part == "month")
        r = (y2 * 12 + mo2) - (y1 * 12 + mo1);
    else if (part == "day" || part == "dayofyear" || part == "weekday")
        r = dn2 - dn1;
    else if (part == "week")
        r = (dn2 + 1) / 7 - (dn1 + 1) / 7;
    else if (part == "hour")
        r = (dn2 * 24 + h2) - (dn1 * 24 + h1);
    else if (part == "minute")
        r = ((dn2 * 24 + h2) * 60 + mi2) - ((dn1 * 24 + h1) * 60 + mi1);
    else if (part == "second")
        r = (((dn2 * 24 + h2) * 60 + mi2) * 60 + s2) - (((dn1 * 24 + h1) * 60 + mi1) * 60 + s1);
    else
        r = ((((dn2 * 24 + h2) * 60 + mi2) * 60 + s2) * 1000 + ms2) -
            ((((dn1 * 24 + h1) * 60 + mi1) * 60 + s1) * 1000 + ms1);
    sqlite3_result_int64(ctx, r);
}

void fnMath(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    const char* which = static_cast<const char*>(sqlite3_user_data(ctx));
    std::string w = which;
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_INTEGER && (w == "floor" || w == "ceiling"))
        return sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
    double x = sqlite3_value_double(argv[0]);
    if (w == "floor") return sqlite3_result_double(ctx, std::floor(x));
    if (w == "ceiling") return sqlite3_result_double(ctx, std::ceil(x));
    if (w == "sqrt") return sqlite3_result_double(ctx, std::sqrt(x));
    if (w == "sign") return sqlite3_result_int(ctx, x > 0 ? 1 : x < 0 ? -1 : 0);
    if (w == "power") {
        double r = std::pow(x, sqlite3_value_double(argv[1]));
        if (t == SQLITE_INTEGER) return sqlite3_result_int64(ctx, static_cast<long long>(r));
        return sqlite3_result_double(ctx, r);
    }
}

void fnStr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    int len = argc > 1 ? sqlite3_value_int(argv[1]) : 10;
    int dec = argc > 2 ? sqlite3_value_int(argv[2]) : 0;
    if (len <= 0 || len > 8000 || dec < 0) return sqlite3_result_null(ctx);
    dec = std::min(dec, 16);
    std::string s(static_cast<size_t>(len) + 400, '\0');  // room for any double in %f
    s.resize(static_cast<size_t>(
        std::snprintf(s.data(), s.size(), "%*.*f", len, dec, sqlite3_value_double(argv[0]))));
    if (static_cast<int>(s.size()) > len) s = std::string(static_cast<size_t>(len), '*');
    resultValue(ctx, Value::text(s));
}

// _t7_replicate(text, count, isMax): up to 8000 characters, unless the
// text is a max type.
void fnReplicate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    long long n = sqlite3_value_int64(argv[1]);
    if (n < 0) return sqlite3_result_null(ctx);
    std::string s = textArg(argv, 0);
    if (s.empty() || n == 0) return resultValue(ctx, Value::text(""));
    bool isMax = sqlite3_value_int(argv[2]) != 0;
    if (!isMax) {
        n = std::min(n, 8000LL / static_cast<long long>(charStarts(s).size()) + 1);
    } else if (static_cast<unsigned long long>(n) > kMaxTextBytes / s.size()) {
        return sqlite3_result_error_toobig(ctx);
    }
    std::string out;
    out.reserve(s.size() * static_cast<size_t>(n));
    for (long long i = 0; i < n; ++i) out += s;
    if (!isMax) out = charSlice(out, 0, 8000);
    resultValue(ctx, Value::text(out));
}

void fnIsnumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) return sqlite3_result_int(ctx, 1);
    if (t == SQLITE_NULL) return sqlite3_result_int(ctx, 0);
    double d;
    sqlite3_result_int(ctx, numericText(textArg(argv, 0), d) ? 1 : 0);
}

void fnIsdate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return sqlite3_result_int(ctx, 0);
    int y, mo, d, h, mi, s, ms;
    std::string t = textArg(argv, 0);
    sqlite3_result_int(ctx, !t.empty() && parseDateTime(t, y, mo, d, h, mi, s, ms) ? 1 : 0);
}

void fnReverse(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    std::string s = textArg(argv, 0), out;
    std::vector<size_t> st = charStarts(s);
    for (size_t i = st.size(); i-- > 0;) {
        size_t e = i + 1 < st.size() ? st[i + 1] : s.size();
        out += s.substr(st[i], e - st[i]);
    }
    resultValue(ctx, Value::text(out));
}

void fnWrite(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* session = static_cast<SessionImpl*>(sqlite3_user_data(ctx));
    const WriteRule& rule = session->m_writeRules.at(static_cast<size_t>(sqlite3_value_int(argv[0])));
    Value v = valueOf(argv[1]);
    if (v.isNull()) {
        if (rule.notNull)
            throw sqlError<Msg::NullNotAllowed>(rule.column, session->m_dbName + ".dbo." + rule.table,
                                                rule.update ? "UPDATE" : "INSERT");
        return sqlite3_result_null(ctx);
    }
    resultValue(ctx, convertValue(v, rule.type, ConvertMode::Store));
}

void fnNextId(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* session = static_cast<SessionImpl*>(sqlite3_user_data(ctx));
    IdentityState& st = session->m_identities.at(static_cast<size_t>(sqlite3_value_int(argv[0])));
    st.last = st.next;
    st.next += st.step;
    st.used = true;
    sqlite3_result_int64(ctx, st.last);
}

template <ScalarFunction F>
void guarded(sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept {
    callGuarded(F, ctx, argc, argv);
}

template <ScalarFunction F>
void add(sqlite3* db, const char* name, int args, bool deterministic = true, void* data = nullptr) {
    int flags = SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0);
    sqlite3_create_function_v2(db, name, args, flags, data, guarded<F>, nullptr, nullptr, nullptr);
}

}  // namespace

void registerFunctions(sqlite3* db) {
    add<fnGetdate>(db, "_t7_getdate", 0, false);
    add<fnNewid>(db, "_t7_newid", 0, false);
    add<fnLen>(db, "_t7_len", 1);
    add<fnDatalength>(db, "_t7_datalength", 1);
    add<fnSubstring>(db, "_t7_substring", 3);
    add<fnLeft>(db, "_t7_left", 2);
    add<fnRight>(db, "_t7_right", 2);
    add<fnReplace>(db, "_t7_replace", 3);
    add<fnCharindex>(db, "_t7_charindex", 2);
    add<fnCharindex>(db, "_t7_charindex", 3);
    add<fnAdd>(db, "_t7_add", 2);
    add<fnXor>(db, "_t7_xor", 2);
    add<fnNonzero>(db, "_t7_nonzero", 1);
    add<fnInt>(db, "_t7_int", 1);
    add<fnLike>(db, "_t7_like", 2);
    add<fnLike>(db, "_t7_like", 3);
    add<fnCast>(db, "_t7_cast", 6);
    add<fnObjname>(db, "_t7_objname", 1);
    add<fnDatepart>(db, "_t7_datepart", 2);
    add<fnDateadd>(db, "_t7_dateadd", 3);
    add<fnDatediff>(db, "_t7_datediff", 3);
    static const char* floorName = "floor";
    static const char* ceilingName = "ceiling";
    static const char* sqrtName = "sqrt";
    static const char* signName = "sign";
    static const char* powerName = "power";
    add<fnMath>(db, "_t7_floor", 1, true, const_cast<char*>(floorName));
    add<fnMath>(db, "_t7_ceiling", 1, true, const_cast<char*>(ceilingName));
    add<fnMath>(db, "_t7_sqrt", 1, true, const_cast<char*>(sqrtName));
    add<fnMath>(db, "_t7_sign", 1, true, const_cast<char*>(signName));
    add<fnMath>(db, "_t7_power", 2, true, const_cast<char*>(powerName));
    add<fnStr>(db, "_t7_str", 1);
    add<fnStr>(db, "_t7_str", 2);
    add<fnStr>(db, "_t7_str", 3);
    add<fnReplicate>(db, "_t7_replicate", 3);
    add<fnIsnumeric>(db, "_t7_isnumeric", 1);
    add<fnIsdate>(db, "_t7_isdate", 1);
    add<fnReverse>(db, "_t7_reverse", 1);
}

void registerSessionFunctions(sqlite3* db, SessionImpl* session) {
    add<fnWrite>(db, "_t7_w", 2, false, session);
    add<fnNextId>(db, "_t7_nextid", 1, false, session);
}

}  // namespace sqlengine
