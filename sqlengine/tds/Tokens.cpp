#include "sqlengine/tds/Tokens.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sqlengine/Values.h"

namespace sqlengine::tds {

const std::string kCollation("\x04\x08\xD0\x00\x00", 5);

namespace {

const long long kDay1900 = daysFromCivil(1900, 1, 1);

uint8_t decimalSize(int precision) {
    return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
}

std::string hexBytes(const std::string& text) {
    std::string out;
    size_t i = text.rfind("0x", 0) == 0 ? 2 : 0;
    auto nibble = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return 0;
    };
    for (; i + 1 < text.size(); i += 2)
        out.push_back(static_cast<char>(nibble(text[i]) << 4 | nibble(text[i + 1])));
    return out;
}

}  // namespace

bool parseDateTimeText(const std::string& text, int& days, int& ms) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char frac[8] = {0};
    int n = std::sscanf(text.c_str(), "%d-%d-%d%*[ T]%d:%d:%d.%7[0-9]", &y, &mo, &d, &h, &mi, &s, frac);
    if (n < 3 || mo < 1 || mo > 12 || d < 1 || d > 31) return false;
    int fracMs = 0;
    if (n == 7) {
        std::string f(frac);
        f.resize(3, '0');
        fracMs = std::atoi(f.c_str());
    }
    days = static_cast<int>(daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) - kDay1900);
    ms = ((h * 60 + mi) * 60 + s) * 1000 + fracMs;
    return true;
}

std::string dateTimeText(int days, long long msOfDay) {
    int y, m, d;
    civilFromDays(days + kDay1900, y, m, d);
    char buf[96];
    long long s = msOfDay / 1000;
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02lld:%02lld:%02lld.%03lld", y, m, d, s / 3600,
                  s / 60 % 60, s % 60, msOfDay % 1000);
    return buf;
}

bool scaledDecimal(const std::string& input, int scale, bool& negative, unsigned __int128& magnitude) {
    std::string text = input;
    if (text.find_first_of("eE") != std::string::npos) {
        char* end = nullptr;
        double v = std::strtod(text.c_str(), &end);
        if (*end || !std::isfinite(v)) return false;
        char buf[400];
        std::snprintf(buf, sizeof buf, "%.*f", scale, v);
        text = buf;
    }
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    const unsigned __int128 limit = [] {
        unsigned __int128 v = 1;
        for (int k = 0; k < 38; ++k) v *= 10;
        return v;
    }();
    magnitude = 0;
    int fraction = -1;
    bool digits = false, roundUp = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '.' && fraction < 0) {
            fraction = 0;
            continue;
        }
        if (c < '0' || c > '9') break;
        digits = true;
        if (fraction >= 0 && fraction >= scale) {
            if (fraction == scale) roundUp = c >= '5';
            ++fraction;
            continue;
        }
        magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
        if (magnitude >= limit) return false;
        if (fraction >= 0) ++fraction;
    }
    while (i < text.size() && text[i] == ' ') ++i;
    if (!digits || i != text.size()) return false;
    for (int f = std::max(fraction, 0); f < scale; ++f) magnitude *= 10;
    if (roundUp) ++magnitude;
    if (magnitude == 0) negative = false;
    return magnitude < limit;
}

std::string decimalText(bool negative, unsigned __int128 magnitude, int scale) {
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude > 0);
    if (scale > 0) {
        if (digits.size() <= static_cast<size_t>(scale))
            digits.insert(0, static_cast<size_t>(scale) + 1 - digits.size(), '0');
        digits.insert(digits.size() - static_cast<size_t>(scale), 1, '.');
    }
    return (negative ? "-" : "") + digits;
}

std::string guidBytes(const std::string& text) {
    std::string hex;
    for (char c : text)
        if (c != '-' && c != '{' && c != '}') hex += c;
    std::string b = hexBytes(hex);
    b.resize(16, '\0');
    std::swap(b[0], b[3]);
    std::swap(b[1], b[2]);
    std::swap(b[4], b[5]);
    std::swap(b[6], b[7]);
    return b;
}

std::string guidText(std::string_view raw) {
    std::string b(raw);
    b.resize(16, '\0');
    std::swap(b[0], b[3]);
    std::swap(b[1], b[2]);
    std::swap(b[4], b[5]);
    std::swap(b[6], b[7]);
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        out += hex[static_cast<unsigned char>(b[i]) >> 4];
        out += hex[static_cast<unsigned char>(b[i]) & 15];
    }
    return out;
}

WireType wireType(const ColumnType& c, uint32_t version) {
    using F = WireType::Form;
    WireType t;
    const std::string& n = c.name;
    bool max = c.length < 0 || c.length > 8000;
    if (n == "int" || n == "bigint" || n == "smallint" || n == "tinyint") {
        t = {0x26, F::Int,
             static_cast<uint32_t>(n == "int"        ? 4
                                   : n == "bigint"   ? 8
                                   : n == "smallint" ? 2
                                                     : 1)};
    } else if (n == "bit") {
        t = {0x68, F::Bit, 1};
    } else if (n == "float" || n == "real") {
        t = {0x6D, F::Float, static_cast<uint32_t>(n == "real" ? 4 : 8)};
    } else if (n == "decimal" || n == "numeric") {
        int p = c.precision > 0 && c.precision <= 38 ? c.precision : 38;
        int s = std::clamp(c.scale, 0, p);
        t = {static_cast<uint8_t>(n == "decimal" ? 0x6A : 0x6C), F::Decimal, decimalSize(p),
             static_cast<uint8_t>(p), static_cast<uint8_t>(s)};
    } else if (n == "money" || n == "smallmoney") {
        t = {0x6E, F::Money, static_cast<uint32_t>(n == "money" ? 8 : 4)};
    } else if (n == "datetime" || n == "date") {
        t = {0x6F, F::DateTime, 8};
    } else if (n == "smalldatetime") {
        t = {0x6F, F::SmallDateTime, 4};
    } else if (n == "uniqueidentifier") {
        t = {0x24, F::Guid, 16};
    } else if (n == "char" || n == "varchar" || n == "text") {
        // Code page 936 takes up to two bytes a character.
        uint32_t bytes = std::min<uint32_t>(static_cast<uint32_t>(std::max(c.length, 1)) * 2, 8000);
        if (n == "text" || (max && version < kTds72))
            t = {0x23, F::Char, 0x7FFFFFFF, 0, 0, false, true};
        else if (max)
            t = {0xA7, F::Char, 0xFFFF, 0, 0, true};
        else
            t = {static_cast<uint8_t>(n == "char" ? 0xAF : 0xA7), F::Char, bytes};
    } else if (n == "binary" || n == "varbinary" || n == "image") {
        if (n == "image" || (max && version < kTds72))
            t = {0x22, F::Binary, 0x7FFFFFFF, 0, 0, false, true};
        else if (max)
            t = {0xA5, F::Binary, 0xFFFF, 0, 0, true};
        else
            t = {static_cast<uint8_t>(n == "binary" ? 0xAD : 0xA5), F::Binary,
                 static_cast<uint32_t>(std::max(c.length, 1))};
    } else {
        bool nmax = c.length < 0 || c.length > 4000 || n == "ntext";
        if (n == "ntext" || (nmax && version < kTds72))
            t = {0x63, F::NChar, 0x7FFFFFFE, 0, 0, false, true};
        else if (nmax)
            t = {0xE7, F::NChar, 0xFFFF, 0, 0, true};
        else
            t = {static_cast<uint8_t>(n == "nchar" ? 0xEF : 0xE7), F::NChar,
                 static_cast<uint32_t>(std::max(c.length, 1)) * 2};
    }
    return t;
}

void TokenWriter::loginAck(const std::string& progName, uint32_t progVersion) {
    out.u8(kLoginAck);
    size_t at = out.size();
    out.u16(0);
    out.u8(1);  // SQL_TSQL
    out.u32be(m_version);
    out.bVarchar(progName);
    out.u32be(progVersion);
    out.patchLength16(at);
}

void TokenWriter::envChange(EnvChangeType type, const std::string& now, const std::string& before) {
    out.u8(kEnvChange);
    size_t at = out.size();
    out.u16(0);
    out.u8(type);
    out.bVarchar(now);
    out.bVarchar(before);
    out.patchLength16(at);
}

void TokenWriter::transactionChange(EnvChangeType type, uint64_t descriptor) {
    out.u8(kEnvChange);
    size_t at = out.size();
    out.u16(0);
    out.u8(type);
    if (type != kEnvBeginTransaction) out.u8(0);
    out.u8(8);
    out.u64(descriptor);
    if (type == kEnvBeginTransaction) out.u8(0);
    out.patchLength16(at);
}

void TokenWriter::collationChange() {
    out.u8(kEnvChange);
    size_t at = out.size();
    out.u16(0);
    out.u8(kEnvCollation);
    out.u8(static_cast<uint8_t>(kCollation.size()));
    out.raw(kCollation);
    out.u8(0);
    out.patchLength16(at);
}

void TokenWriter::message(bool error, int number, int state, int severity, const std::string& text,
                          const std::string& server, const std::string& proc, int line) {
    out.u8(error ? kError : kInfo);
    size_t at = out.size();
    out.u16(0);
    out.u32(static_cast<uint32_t>(number));
    out.u8(static_cast<uint8_t>(state));
    out.u8(static_cast<uint8_t>(severity));
    out.usVarchar(text);
    out.bVarchar(server);
    out.bVarchar(proc);
    if (is72())
        out.u32(static_cast<uint32_t>(line));
    else
        out.u16(static_cast<uint16_t>(line));
    out.patchLength16(at);
}

void TokenWriter::done(Token token, uint16_t status, uint16_t command, long long rows) {
    out.u8(token);
    out.u16(status);
    out.u16(command);
    if (is72())
        out.u64(static_cast<uint64_t>(rows));
    else
        out.u32(static_cast<uint32_t>(rows));
}

void TokenWriter::returnStatus(int32_t value) {
    out.u8(kReturnStatus);
    out.u32(static_cast<uint32_t>(value));
}

void TokenWriter::returnValueInt(uint16_t ordinal, const std::string& name, int32_t value) {
    returnValue(ordinal, name, ColumnType{"int"}, std::to_string(value));
}

void TokenWriter::returnValue(uint16_t ordinal, const std::string& name, const ColumnType& type,
                              const std::optional<std::string>& text) {
    WireType t = wireType(type, m_version);
    out.u8(kReturnValue);
    out.u16(ordinal);
    out.bVarchar(name);
    out.u8(1);  // an output parameter
    if (is72())
        out.u32(0);
    else
        out.u16(0);
    out.u16(1);  // nullable
    typeInfo(t);
    value(t, text);
}

void TokenWriter::typeInfo(const WireType& t) {
    using F = WireType::Form;
    out.u8(t.type);
    if (t.text) {
        out.u32(t.size);
        if (t.form != F::Binary) out.raw(kCollation);
        // The table name: no parts.
        if (is72())
            out.u8(0);
        else
            out.u16(0);
        return;
    }
    switch (t.form) {
        case F::Char:
        case F::NChar:
            out.u16(static_cast<uint16_t>(t.size));
            out.raw(kCollation);
            break;
        case F::Binary:
            out.u16(static_cast<uint16_t>(t.size));
            break;
        case F::Decimal:
            out.u8(static_cast<uint8_t>(t.size));
            out.u8(t.precision);
            out.u8(t.scale);
            break;
        default:
            out.u8(static_cast<uint8_t>(t.size));
    }
}

void TokenWriter::value(const WireType& t, const std::optional<std::string>& text) {
    using F = WireType::Form;
    bool bytesForm = t.form == F::Char || t.form == F::NChar || t.form == F::Binary;
    if (!text) {
        if (t.text)
            out.u8(0);
        else if (t.plp)
            out.u64(~0ULL);
        else if (bytesForm)
            out.u16(0xFFFF);
        else
            out.u8(0);
        return;
    }
    const std::string& v = *text;
    if (bytesForm) {
        std::string data = t.form == F::Char    ? utf8ToCp936(v)
                           : t.form == F::NChar ? utf8ToUtf16(v)
                                                : hexBytes(v);
        // Fixed-length values come padded, as the server stores them;
        // char(n) is left as it is, its byte length being unknown here.
        bool fixed = t.type == 0xEF || t.type == 0xAD;
        if (fixed && t.form == F::NChar)
            while (data.size() + 2 <= t.size) data.append(" \0", 2);
        else if (fixed && data.size() < t.size)
            data.append(t.size - data.size(), '\0');
        if (t.text) {
            out.u8(16);
            out.raw(std::string(16, '\x01'));  // text pointer
            out.raw(std::string(8, '\0'));     // timestamp
            out.u32(static_cast<uint32_t>(data.size()));
            out.raw(data);
        } else if (t.plp) {
            out.u64(data.size());
            if (!data.empty()) {
                out.u32(static_cast<uint32_t>(data.size()));
                out.raw(data);
            }
            out.u32(0);
        } else {
            if (data.size() > t.size) data.resize(t.size);
            out.u16(static_cast<uint16_t>(data.size()));
            out.raw(data);
        }
        return;
    }
    switch (t.form) {
        case F::Int: {
            long long n = std::strtoll(v.c_str(), nullptr, 10);
            out.u8(static_cast<uint8_t>(t.size));
            for (uint32_t i = 0; i < t.size; ++i)
                out.u8(static_cast<uint8_t>((static_cast<unsigned long long>(n) >> (8 * i)) & 0xFF));
            break;
        }
        case F::Bit:
            out.u8(1);
            out.u8(std::strtod(v.c_str(), nullptr) != 0 ? 1 : 0);
            break;
        case F::Float: {
            double d = std::strtod(v.c_str(), nullptr);
            out.u8(static_cast<uint8_t>(t.size));
            if (t.size == 4) {
                float f = static_cast<float>(d);
                uint32_t bits;
                std::memcpy(&bits, &f, 4);
                out.u32(bits);
            } else {
                uint64_t bits;
                std::memcpy(&bits, &d, 8);
                out.u64(bits);
            }
            break;
        }
        case F::Decimal: {
            bool negative = false;
            unsigned __int128 m = 0;
            if (!scaledDecimal(v, t.scale, negative, m)) {
                out.u8(0);
                break;
            }
            out.u8(static_cast<uint8_t>(t.size));
            out.u8(negative ? 0 : 1);
            for (uint32_t i = 0; i + 1 < t.size; ++i) out.u8(static_cast<uint8_t>((m >> (8 * i)) & 0xFF));
            break;
        }
        case F::Money: {
            bool negative = false;
            unsigned __int128 m = 0;
            scaledDecimal(v, 4, negative, m);
            long long n = static_cast<long long>(m);
            if (negative) n = -n;
            out.u8(static_cast<uint8_t>(t.size));
            if (t.size == 4) {
                out.u32(static_cast<uint32_t>(n));
            } else {
                out.u32(static_cast<uint32_t>(static_cast<unsigned long long>(n) >> 32));
                out.u32(static_cast<uint32_t>(n));
            }
            break;
        }
        case F::DateTime:
        case F::SmallDateTime: {
            int days = 0, ms = 0;
            if (!parseDateTimeText(v, days, ms)) {
                out.u8(0);
                break;
            }
            out.u8(static_cast<uint8_t>(t.size));
            if (t.form == F::SmallDateTime) {
                out.u16(static_cast<uint16_t>(days));
                out.u16(static_cast<uint16_t>((ms + 30000) / 60000));
            } else {
                out.u32(static_cast<uint32_t>(days));
                out.u32(static_cast<uint32_t>((static_cast<long long>(ms) * 300 + 500) / 1000));
            }
            break;
        }
        case F::Guid:
            out.u8(16);
            out.raw(guidBytes(v));
            break;
        default:
            break;
    }
}

void TokenWriter::resultSet(const ResultSet& rs) {
    std::vector<WireType> types;
    types.reserve(rs.columns.size());
    for (size_t i = 0; i < rs.columns.size(); ++i)
        types.push_back(wireType(i < rs.types.size() ? rs.types[i] : ColumnType{}, m_version));
    out.u8(kColMetadata);
    out.u16(static_cast<uint16_t>(rs.columns.size()));
    for (size_t i = 0; i < rs.columns.size(); ++i) {
        bool nullable = i >= rs.types.size() || rs.types[i].nullable;
        if (is72())
            out.u32(0);
        else
            out.u16(0);
        out.u16(static_cast<uint16_t>((nullable ? 0x01 : 0) | 0x08));
        typeInfo(types[i]);
        out.bVarchar(rs.columns[i]);
    }
    bool nbc = m_version >= kTds73A;
    for (const auto& row : rs.rows) {
        bool hasNull = false;
        for (const auto& v : row) hasNull = hasNull || !v;
        if (nbc && hasNull) {
            out.u8(kNbcRow);
            std::string bitmap((row.size() + 7) / 8, '\0');
            for (size_t i = 0; i < row.size(); ++i)
                if (!row[i]) bitmap[i / 8] = static_cast<char>(bitmap[i / 8] | (1 << (i % 8)));
            out.raw(bitmap);
            for (size_t i = 0; i < row.size(); ++i)
                if (row[i]) value(types[i], row[i]);
        } else {
            out.u8(kRow);
            for (size_t i = 0; i < row.size(); ++i) value(types[i], row[i]);
        }
    }
}

}  // namespace sqlengine::tds
