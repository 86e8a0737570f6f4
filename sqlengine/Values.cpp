#include "sqlengine/Values.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <random>

#include "sqlengine/Engine.h"
#include "sqlengine/Lexer.h"
#include "sqlengine/Messages.h"

namespace sqlengine {

std::string Value::toText() const {
    switch (kind) {
        case Kind::Null:
            return "";
        case Kind::Int:
            return std::to_string(i);
        case Kind::Real: {
            char buf[64];
            if (std::isfinite(r) && r == std::floor(r) && std::fabs(r) < 1e15) {
                std::snprintf(buf, sizeof buf, "%.0f", r);
            } else {
                std::snprintf(buf, sizeof buf, "%.15g", r);
            }
            return buf;
        }
        case Kind::Text:
            return s;
        case Kind::Blob: {
            static const char* hex = "0123456789ABCDEF";
            std::string out = "0x";
            for (unsigned char c : s) {
                out += hex[c >> 4];
                out += hex[c & 15];
            }
            return out;
        }
    }
    return "";
}

std::string decimalText(const Value& v, int scale) {
    if (scale <= 0 || (v.kind != Value::Kind::Int && v.kind != Value::Kind::Real)) return v.toText();
    char buf[400];
    double d = v.kind == Value::Kind::Int ? static_cast<double>(v.i) : v.r;
    std::snprintf(buf, sizeof buf, "%.*f", std::min(scale, 38), d);
    return buf;
}

bool Value::truthy() const {
    switch (kind) {
        case Kind::Null:
            return false;
        case Kind::Int:
            return i != 0;
        case Kind::Real:
            return r != 0;
        default:
            return std::atof(s.c_str()) != 0;
    }
}

TypeClass typeClass(const std::string& n) {
    if (n == "int" || n == "bigint" || n == "smallint" || n == "tinyint") return TypeClass::Integer;
    if (n == "bit") return TypeClass::Bit;
    if (n == "decimal" || n == "numeric" || n == "money" || n == "smallmoney") return TypeClass::Decimal;
    if (n == "float" || n == "real") return TypeClass::Float;
    if (n == "char" || n == "varchar" || n == "nchar" || n == "nvarchar" || n == "text" || n == "ntext" ||
        n == "sysname")
        return TypeClass::Char;
    if (n == "binary" || n == "varbinary" || n == "image") return TypeClass::Binary;
    if (n == "datetime" || n == "smalldatetime" || n == "date") return TypeClass::DateTime;
    if (n == "uniqueidentifier") return TypeClass::Guid;
    return TypeClass::Unknown;
}

bool isKnownType(const std::string& n) {
    return typeClass(n) != TypeClass::Unknown;
}

bool isUnicodeType(const std::string& n) {
    return n == "nchar" || n == "nvarchar" || n == "ntext" || n == "sysname";
}

TypeSpec normalizeType(TypeSpec t, bool inCast) {
    if (t.name == "sysname") {
        t.name = "nvarchar";
        t.length = 128;
    }
    TypeClass c = typeClass(t.name);
    if (c == TypeClass::Char || c == TypeClass::Binary) {
        if (t.name == "text" || t.name == "ntext" || t.name == "image") {
            t.length = -1;
        } else if (t.length == 0) {
            t.length = inCast ? 30 : 1;
        }
        t.precision = t.scale = 0;
    } else if (t.name == "decimal" || t.name == "numeric") {
        if (t.precision == 0) t.precision = 18;
        t.length = 0;
    } else if (t.name == "money") {
        t.precision = 19;
        t.scale = 4;
    } else if (t.name == "smallmoney") {
        t.precision = 10;
        t.scale = 4;
    } else {
        t.length = t.precision = t.scale = 0;
    }
    return t;
}

int maxLength(const TypeSpec& t) {
    const std::string& n = t.name;
    if (n == "int" || n == "real" || n == "smalldatetime" || n == "smallmoney") return 4;
    if (n == "bigint" || n == "float" || n == "datetime" || n == "money") return 8;
    if (n == "smallint") return 2;
    if (n == "tinyint" || n == "bit") return 1;
    if (n == "date") return 3;
    if (n == "uniqueidentifier") return 16;
    if (n == "text" || n == "ntext" || n == "image") return 16;
    if (n == "decimal" || n == "numeric")
        return t.precision <= 9 ? 5 : t.precision <= 19 ? 9 : t.precision <= 28 ? 13 : 17;
    if (t.length == -1) return -1;
    return isUnicodeType(n) ? t.length * 2 : t.length;
}

const char* sqliteAffinity(const TypeSpec& t) {
    switch (typeClass(t.name)) {
        case TypeClass::Integer:
        case TypeClass::Bit:
            return "INT";
        case TypeClass::Decimal:
            return "NUMERIC";
        case TypeClass::Float:
            return "REAL";
        case TypeClass::Binary:
            return "BLOB";
        default:
            return "TEXT";
    }
}

std::string typeDisplayName(const TypeSpec& t) {
    return t.name;
}

namespace {

[[noreturn]] void conversionFailed(const Value& v, const std::string& target) {
    std::string from = v.kind == Value::Kind::Text ? "varchar" : "value";
    throw sqlError<Msg::ConversionFailed>(from, v.toText(), target);
}

std::string trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r' || s[a] == '\n')) ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r' || s[b - 1] == '\n')) --b;
    return s.substr(a, b - a);
}

bool parseInteger(const std::string& text, long long& out) {
    std::string t = trim(text);
    if (t.empty()) {
        out = 0;
        return true;
    }
    size_t i = 0;
    if (t[0] == '+' || t[0] == '-') i = 1;
    if (i >= t.size()) return false;
    for (size_t k = i; k < t.size(); ++k)
        if (t[k] < '0' || t[k] > '9') return false;
    errno = 0;
    out = std::strtoll(t.c_str(), nullptr, 10);
    return errno == 0;
}

bool parseNumber(const std::string& text, double& out) {
    std::string t = trim(text);
    if (t.empty()) return false;
    char* end = nullptr;
    out = std::strtod(t.c_str(), &end);
    return end && *end == '\0';
}

// Characters in UTF-8 text; a lead byte counts one.
size_t charCount(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

// Bytes of the text in the server's code page: non-ASCII characters take two.
size_t ansiByteCount(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s) {
        if (c < 0x80)
            ++n;
        else if ((c & 0xC0) != 0x80)
            n += 2;
    }
    return n;
}

// Cuts UTF-8 text to `limit` units, counted by `unicode` rules.
std::string cutText(const std::string& s, size_t limit, bool unicode) {
    size_t units = 0;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
        size_t w = unicode ? 1 : (c < 0x80 ? 1 : 2);
        if (units + w > limit) break;
        units += w;
        i += len;
    }
    return s.substr(0, i);
}

const char* monthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool validDate(int y, int mo, int d) {
    if (y < 1753 || y > 9999 || mo < 1 || mo > 12 || d < 1) return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int dim = days[mo - 1];
    if (mo == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) dim = 29;
    return d <= dim;
}

std::string styledDateTime(int y, int mo, int d, int h, int mi, int s, int ms, int style) {
    char buf[128];
    int h12 = h % 12 == 0 ? 12 : h % 12;
    const char* ampm = h < 12 ? "AM" : "PM";
    switch (style) {
        case 1:
            std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", mo, d, y % 100);
            break;
        case 101:
            std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", mo, d, y);
            break;
        case 2:
            std::snprintf(buf, sizeof buf, "%02d.%02d.%02d", y % 100, mo, d);
            break;
        case 102:
            std::snprintf(buf, sizeof buf, "%04d.%02d.%02d", y, mo, d);
            break;
        case 3:
            std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", d, mo, y % 100);
            break;
        case 103:
            std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", d, mo, y);
            break;
        case 104:
            std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", d, mo, y);
            break;
        case 105:
            std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", d, mo, y);
            break;
        case 8:
        case 108:
            std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, mi, s);
            break;
        case 11:
            std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", y % 100, mo, d);
            break;
        case 111:
            std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", y, mo, d);
            break;
        case 12:
            std::snprintf(buf, sizeof buf, "%02d%02d%02d", y % 100, mo, d);
            break;
        case 112:
            std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, mo, d);
            break;
        case 20:
        case 120:
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
            break;
        case 21:
        case 25:
        case 121:
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, mo, d, h, mi, s, ms);
            break;
        case 23:
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, mo, d);
            break;
        case 126:
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", y, mo, d, h, mi, s, ms);
            break;
        default:
            std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d%s", monthNames[mo - 1], d, y, h12, mi, ampm);
            break;
    }
    return buf;
}

Value toDateTime(const Value& v, const TypeSpec& t) {
    int y, mo, d, h = 0, mi = 0, s = 0, ms = 0;
    if (v.kind == Value::Kind::Int || v.kind == Value::Kind::Real) {
        double days = v.kind == Value::Kind::Int ? static_cast<double>(v.i) : v.r;
        long long whole = static_cast<long long>(std::floor(days));
        double frac = days - static_cast<double>(whole);
        civilFromDays(daysFromCivil(1900, 1, 1) + whole, y, mo, d);
        long long msTotal = std::llround(frac * 86400000.0);
        h = static_cast<int>(msTotal / 3600000);
        mi = static_cast<int>(msTotal / 60000 % 60);
        s = static_cast<int>(msTotal / 1000 % 60);
        ms = static_cast<int>(msTotal % 1000);
    } else if (!parseDateTime(v.s, y, mo, d, h, mi, s, ms)) {
        throw sqlError<Msg::DateConversionFailed>();
    }
    if (t.name == "smalldatetime") {
        if (s >= 30) ++mi;
        s = ms = 0;
        if (mi == 60) {
            mi = 0;
            ++h;
        }
        if (h == 24) {
            h = 0;
            civilFromDays(daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) + 1, y, mo,
                          d);
        }
    }
    if (t.name == "date") {
        char buf[48];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, mo, d);
        return Value::text(buf);
    }
    return Value::text(formatDateTime(y, mo, d, h, mi, s, ms));
}

}  // namespace

long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

bool parseDateTime(const std::string& text, int& y, int& mo, int& d, int& h, int& mi, int& s, int& ms) {
    std::string t = trim(text);
    y = mo = d = h = mi = s = ms = 0;
    if (t.empty()) {  // '' is 1900-01-01
        y = 1900;
        mo = d = 1;
        return true;
    }
    size_t i = 0;
    auto num = [&](int maxDigits, int& out) {
        size_t start = i;
        out = 0;
        while (i < t.size() && i - start < static_cast<size_t>(maxDigits) && t[i] >= '0' && t[i] <= '9')
            out = out * 10 + (t[i++] - '0');
        return i - start;
    };
    int a = 0;
    size_t na = num(8, a);
    if (na == 0) return false;
    if (na == 8 && (i == t.size() || t[i] == ' ' || t[i] == 'T')) {  // yyyymmdd
        y = a / 10000;
        mo = a / 100 % 100;
        d = a % 100;
    } else if (i < t.size() && (t[i] == '-' || t[i] == '/' || t[i] == '.')) {
        char sep = t[i++];
        int b = 0, c = 0;
        if (!num(2, b) || i >= t.size() || t[i] != sep) return false;
        ++i;
        size_t nc = num(4, c);
        if (!nc) return false;
        if (na == 4) {  // y-m-d
            y = a;
            mo = b;
            d = c;
        } else {  // m/d/y
            mo = a;
            d = b;
            y = nc == 2 ? (c < 50 ? 2000 + c : 1900 + c) : c;
        }
    } else {
        return false;
    }
    if (i < t.size()) {
        if (t[i] != ' ' && t[i] != 'T') return false;
        while (i < t.size() && (t[i] == ' ' || t[i] == 'T')) ++i;
        if (i < t.size()) {
            if (!num(2, h)) return false;
            if (i < t.size() && t[i] == ':') {
                ++i;
                if (!num(2, mi)) return false;
                if (i < t.size() && t[i] == ':') {
                    ++i;
                    if (!num(2, s)) return false;
                    if (i < t.size() && (t[i] == '.' || t[i] == ':')) {
                        ++i;
                        size_t start = i;
                        int frac = 0;
                        size_t n = num(3, frac);
                        if (!n) return false;
                        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
                        (void)start;
                        ms = n == 1 ? frac * 100 : n == 2 ? frac * 10 : frac;
                    }
                }
            }
            while (i < t.size() && t[i] == ' ') ++i;
            if (i + 1 < t.size() + 1 && i < t.size()) {
                std::string ap = toUpperAscii(t.substr(i));
                if (ap == "AM") {
                    if (h == 12) h = 0;
                } else if (ap == "PM") {
                    if (h < 12) h += 12;
                } else {
                    return false;
                }
                i = t.size();
            }
        }
    }
    if (i != t.size()) return false;
    return validDate(y, mo, d) && h < 24 && mi < 60 && s < 60;
}

std::string formatDateTime(int y, int mo, int d, int h, int mi, int s, int ms) {
    if (y < 0 || y > 9999 || mo < 0 || mo > 99 || d < 0 || d > 99 || h < 0 || h > 99 || mi < 0 || mi > 99 ||
        s < 0 || s > 99 || ms < 0 || ms > 999) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, mo, d, h, mi, s, ms);
        return buf;
    }
    // The common case by hand: catalog rows take a time stamp each.
    std::string r = "0000-00-00 00:00:00.000";
    auto put = [&r](size_t at, int v, int digits) {
        for (int i = digits - 1; i >= 0; --i, v /= 10)
            r[at + static_cast<size_t>(i)] = static_cast<char>('0' + v % 10);
    };
    put(0, y, 4);
    put(5, mo, 2);
    put(8, d, 2);
    put(11, h, 2);
    put(14, mi, 2);
    put(17, s, 2);
    put(20, ms, 3);
    return r;
}

std::string currentDateTime() {
    auto now = std::chrono::system_clock::now();
    std::time_t tt = std::chrono::system_clock::to_time_t(now);
    int ms = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm tm{};
    {
        // std::localtime shares one result between threads on some systems;
        // the copy is taken under a lock (localtime_r is POSIX only).
        static std::mutex lock;
        std::lock_guard guard(lock);
        if (const std::tm* local = std::localtime(&tt)) tm = *local;
    }
    return formatDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
}

std::string newGuid() {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    unsigned char b[16];
    for (int i = 0; i < 16; i += 8) {
        unsigned long long r = rng();
        for (int k = 0; k < 8; ++k) b[i + k] = static_cast<unsigned char>(r >> (8 * k));
    }
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return buf;
}

namespace {

Value toInteger(const Value& v, const TypeSpec& t) {
    long long out = 0;
    if (v.kind == Value::Kind::Int) {
        out = v.i;
    } else if (v.kind == Value::Kind::Real) {
        if (std::fabs(v.r) >= 9.3e18) throw sqlError<Msg::ArithmeticOverflow>("expression", t.name);
        out = static_cast<long long>(std::trunc(v.r));
    } else if (v.kind == Value::Kind::Text) {
        if (!parseInteger(v.s, out)) conversionFailed(v, t.name);
    } else {
        conversionFailed(v, t.name);
    }
    long long lo = t.name == "tinyint"    ? 0
                   : t.name == "smallint" ? -32768
                   : t.name == "int"      ? -2147483648LL
                                          : INT64_MIN;
    long long hi = t.name == "tinyint"    ? 255
                   : t.name == "smallint" ? 32767
                   : t.name == "int"      ? 2147483647LL
                                          : INT64_MAX;
    if (out < lo || out > hi) throw sqlError<Msg::ArithmeticOverflow>("expression", t.name);
    return Value::integer(out);
}

Value toBit(const Value& v) {
    if (v.kind == Value::Kind::Int) return Value::integer(v.i != 0);
    if (v.kind == Value::Kind::Real) return Value::integer(v.r != 0);
    std::string s = toUpperAscii(trim(v.s));
    if (s == "TRUE") return Value::integer(1);
    if (s == "FALSE") return Value::integer(0);
    double d;
    if (v.kind == Value::Kind::Text && parseNumber(s, d)) return Value::integer(d != 0);
    conversionFailed(v, "bit");
}

Value toDecimal(const Value& v, const TypeSpec& t) {
    double d = 0;
    if (v.kind == Value::Kind::Int) {
        d = static_cast<double>(v.i);
    } else if (v.kind == Value::Kind::Real) {
        d = v.r;
    } else if (v.kind != Value::Kind::Text || !parseNumber(v.s, d)) {
        throw sqlError<Msg::ConversionError>("varchar", "numeric");
    }
    double scale = std::pow(10.0, t.scale);
    d = std::round(d * scale) / scale;
    if (std::fabs(d) >= std::pow(10.0, t.precision - t.scale))
        throw sqlError<Msg::ArithmeticOverflow>("numeric", "numeric");
    if (t.scale == 0 && std::fabs(d) < 9e18) return Value::integer(static_cast<long long>(d));
    return Value::real(d);
}

Value toFloat(const Value& v) {
    if (v.kind == Value::Kind::Int) return Value::real(static_cast<double>(v.i));
    if (v.kind == Value::Kind::Real) return v;
    double d;
    if (v.kind == Value::Kind::Text && parseNumber(v.s, d)) return Value::real(d);
    throw sqlError<Msg::ConversionError>("varchar", "float");
}

Value toChar(const Value& v, const TypeSpec& t, ConvertMode mode, int style) {
    std::string s;
    if (v.kind == Value::Kind::Text && style >= 0) {
        int y, mo, d, h, mi, sec, ms;
        if (v.s.size() >= 19 && v.s[4] == '-' && parseDateTime(v.s, y, mo, d, h, mi, sec, ms))
            s = styledDateTime(y, mo, d, h, mi, sec, ms, style);
        else
            s = v.s;
    } else {
        s = v.toText();
        if (v.kind == Value::Kind::Blob) s = v.s;
    }
    if (t.length > 0) {
        bool unicode = isUnicodeType(t.name);
        size_t units = unicode ? charCount(s) : ansiByteCount(s);
        if (units > static_cast<size_t>(t.length)) {
            std::string cut = cutText(s, static_cast<size_t>(t.length), unicode);
            if (mode == ConvertMode::Store && s.find_first_not_of(' ', cut.size()) != std::string::npos)
                throw sqlError<Msg::StringTruncated>();
            s = cut;
        }
    }
    return Value::text(std::move(s));
}

Value toBinary(const Value& v, const TypeSpec& t, ConvertMode mode) {
    Value out;
    out.kind = Value::Kind::Blob;
    if (v.kind == Value::Kind::Blob || v.kind == Value::Kind::Text) {
        out.s = v.s;
    } else if (v.kind == Value::Kind::Int) {
        for (int k = 3; k >= 0; --k) out.s += static_cast<char>((v.i >> (8 * k)) & 0xFF);
    } else {
        throw sqlError<Msg::ExplicitConversionNotAllowed>("float", "varbinary");
    }
    if (t.length > 0 && out.s.size() > static_cast<size_t>(t.length)) {
        if (mode == ConvertMode::Store) throw sqlError<Msg::StringTruncated>();
        out.s.resize(static_cast<size_t>(t.length));
    }
    return out;
}

Value toGuid(const Value& v) {
    std::string s = trim(v.toText());
    if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
    bool ok = s.size() == 36;
    for (size_t k = 0; ok && k < s.size(); ++k) {
        if (k == 8 || k == 13 || k == 18 || k == 23)
            ok = s[k] == '-';
        else
            ok = std::isxdigit(static_cast<unsigned char>(s[k])) != 0;
    }
    if (!ok) throw sqlError<Msg::UniqueidentifierConversion>();
    return Value::text(toUpperAscii(s));
}

}  // namespace

Value convertValue(const Value& v, const TypeSpec& t, ConvertMode mode, int style) {
    if (v.isNull()) return v;
    switch (typeClass(t.name)) {
        case TypeClass::Integer:
            return toInteger(v, t);
        case TypeClass::Bit:
            return toBit(v);
        case TypeClass::Decimal:
            return toDecimal(v, t);
        case TypeClass::Float:
            return toFloat(v);
        case TypeClass::Char:
            return toChar(v, t, mode, style);
        case TypeClass::Binary:
            return toBinary(v, t, mode);
        case TypeClass::DateTime:
            if (v.kind == Value::Kind::Blob) conversionFailed(v, t.name);
            return toDateTime(v, t);
        case TypeClass::Guid:
            return toGuid(v);
        case TypeClass::Unknown:
            break;
    }
    throw sqlError<Msg::UnknownDataType>(1, t.name);
}

}  // namespace sqlengine
