#include "sqlengine/tds/Requests.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "sqlengine/Engine.h"
#include "sqlengine/Messages.h"
#include "sqlengine/tds/Tokens.h"
#include "sqlengine/tds/Wire.h"

namespace sqlengine::tds {

namespace {

void skipAllHeaders(Reader& r, uint32_t version) {
    if (version < kTds72) return;
    // Tolerates a client that leaves the headers out: their total length
    // is never below 4 nor does it exceed the message.
    if (r.remaining() < 4) return;
    size_t start = r.position();
    uint32_t total = r.u32();
    if (total < 4 || total > r.data().size() - start) {
        r.seek(start);
        return;
    }
    r.seek(start + total);
}

std::string hex(std::string_view bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out = "0x";
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

unsigned long long littleEndian(std::string_view b) {
    unsigned long long v = 0;
    for (size_t i = b.size(); i-- > 0;) v = (v << 8) | static_cast<unsigned char>(b[i]);
    return v;
}

std::string quoted(const std::string& s) {
    return "'" + s + "'";
}

// Days since 0001-01-01 to days since 1900-01-01.
constexpr int kDays0001To1900 = 693595;

std::string timeOfDay(unsigned long long units, int scale, int& carryDays) {
    // units of 10^-scale seconds; kept to milliseconds as datetime does.
    double seconds = static_cast<double>(units) / std::pow(10.0, scale);
    long long ms = std::llround(seconds * 1000);
    carryDays = static_cast<int>(ms / 86400000);
    return std::to_string(ms % 86400000);
}

struct TypeInfo {
    uint8_t type = 0;
    uint32_t maxLen = 0;
    uint8_t precision = 0, scale = 0;
};

// The size of a fixed-length type; -1 for the others.
int fixedSize(uint8_t type) {
    static const uint8_t sizes[][2] = {{0x1F, 0}, {0x30, 1}, {0x32, 1}, {0x34, 2}, {0x38, 4}, {0x7F, 8},
                                       {0x3A, 4}, {0x3B, 4}, {0x3C, 8}, {0x3D, 8}, {0x3E, 8}, {0x7A, 4}};
    for (const auto& s : sizes)
        if (s[0] == type) return s[1];
    return -1;
}

TypeInfo readTypeInfo(Reader& r) {
    TypeInfo t;
    t.type = r.u8();
    if (int size = fixedSize(t.type); size >= 0) {
        t.maxLen = static_cast<uint32_t>(size);
        return t;
    }
    switch (t.type) {
        case 0x24:
        case 0x26:
        case 0x68:
        case 0x6D:
        case 0x6E:
        case 0x6F:
            t.maxLen = r.u8();
            break;
        case 0x6A:
        case 0x6C:
            t.maxLen = r.u8();
            t.precision = r.u8();
            t.scale = r.u8();
            break;
        case 0x28:
            break;
        case 0x29:
        case 0x2A:
        case 0x2B:
            t.scale = r.u8();
            break;
        case 0xA5:
        case 0xAD:
            t.maxLen = r.u16();
            break;
        case 0xA7:
        case 0xAF:
        case 0xE7:
        case 0xEF:
            t.maxLen = r.u16();
            r.skip(5);  // collation
            break;
        case 0x22:
            t.maxLen = r.u32();
            break;
        case 0x23:
        case 0x63:
            t.maxLen = r.u32();
            r.skip(5);
            break;
        default:
            throw sqlError<Msg::UnknownRpcDataType>(hex(std::string(1, static_cast<char>(t.type))).substr(2));
    }
    return t;
}

// Reads the value's bytes; nullopt for NULL.
std::optional<std::string> readBytes(Reader& r, const TypeInfo& t) {
    if (t.type == 0x1F) return std::nullopt;
    if (fixedSize(t.type) >= 0) return std::string(r.take(t.maxLen));
    switch (t.type) {
        case 0xA5:
        case 0xAD:
        case 0xA7:
        case 0xAF:
        case 0xE7:
        case 0xEF:
            if (t.maxLen == 0xFFFF) {
                uint64_t total = r.u64();
                if (total == ~0ULL) return std::nullopt;
                std::string data;
                for (;;) {
                    uint32_t chunk = r.u32();
                    if (chunk == 0) break;
                    data.append(r.take(chunk));
                }
                return data;
            } else {
                uint16_t n = r.u16();
                if (n == 0xFFFF) return std::nullopt;
                return std::string(r.take(n));
            }
        case 0x22:
        case 0x23:
        case 0x63: {
            uint32_t n = r.u32();
            if (n == 0xFFFFFFFF) return std::nullopt;
            return std::string(r.take(n));
        }
        default: {
            uint8_t n = r.u8();
            if (n == 0) return std::nullopt;
            return std::string(r.take(n));
        }
    }
}

void convert(RpcParam& p, const TypeInfo& t, const std::optional<std::string>& bytes) {
    auto setInt = [&](const char* type) {
        p.type = type;
        if (!bytes) return;
        unsigned long long raw = littleEndian(*bytes);
        size_t n = bytes->size();
        long long v = n >= 8 ? static_cast<long long>(raw)
                             : (n == 1 ? static_cast<long long>(raw)
                                       : static_cast<long long>(raw << (64 - 8 * n)) >> (64 - 8 * n));
        p.integer = v;
        p.literal = std::to_string(v);
    };
    switch (t.type) {
        case 0x1F:
            p.type = "int";
            return;
        case 0x30:
        case 0x34:
        case 0x38:
        case 0x7F:
        case 0x26: {
            uint32_t size = bytes ? static_cast<uint32_t>(bytes->size()) : t.maxLen;
            setInt(size == 1 ? "tinyint" : size == 2 ? "smallint" : size == 8 ? "bigint" : "int");
            return;
        }
        case 0x32:
        case 0x68:
            p.type = "bit";
            if (bytes) p.literal = (*bytes)[0] ? "1" : "0";
            return;
        case 0x3B:
        case 0x3E:
        case 0x6D: {
            uint32_t size = bytes ? static_cast<uint32_t>(bytes->size()) : t.maxLen;
            p.type = size == 4 ? "real" : "float";
            if (!bytes) return;
            char buf[40];
            if (size == 4) {
                float f;
                std::memcpy(&f, bytes->data(), 4);
                std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(f));
            } else {
                double d;
                std::memcpy(&d, bytes->data(), 8);
                std::snprintf(buf, sizeof buf, "%.17g", d);
            }
            p.literal = std::string(buf).find_first_of(".e") == std::string::npos ? std::string(buf) + ".0"
                                                                                  : std::string(buf);
            if (p.literal->find('e') != std::string::npos) p.literal = "CAST('" + *p.literal + "' AS float)";
            return;
        }
        case 0x3C:
        case 0x7A:
        case 0x6E: {
            uint32_t size = bytes ? static_cast<uint32_t>(bytes->size()) : t.maxLen;
            p.type = size == 4 ? "smallmoney" : "money";
            if (!bytes) return;
            long long v;
            if (size == 4) {
                v = static_cast<int32_t>(littleEndian(*bytes));
            } else {
                unsigned long long hi = littleEndian(bytes->substr(0, 4)),
                                   lo = littleEndian(bytes->substr(4, 4));
                v = static_cast<long long>((hi << 32) | lo);
            }
            bool negative = v < 0;
            unsigned long long m =
                negative ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
            p.literal = decimalText(negative, m, 4);
            return;
        }
        case 0x3A:
        case 0x3D:
        case 0x6F: {
            uint32_t size = bytes ? static_cast<uint32_t>(bytes->size()) : t.maxLen;
            p.type = size == 4 ? "smalldatetime" : "datetime";
            if (!bytes) return;
            if (size == 4) {
                int days = static_cast<int>(littleEndian(bytes->substr(0, 2)));
                long long minutes = static_cast<long long>(littleEndian(bytes->substr(2, 2)));
                p.literal = quoted(dateTimeText(days, minutes * 60000));
            } else {
                int days = static_cast<int32_t>(littleEndian(bytes->substr(0, 4)));
                long long ticks = static_cast<long long>(littleEndian(bytes->substr(4, 4)));
                p.literal = quoted(dateTimeText(days, (ticks * 1000 + 150) / 300));
            }
            return;
        }
        case 0x28:
        case 0x29:
        case 0x2A:
        case 0x2B: {
            p.type = "datetime";
            if (!bytes) return;
            const std::string& b = *bytes;
            int days = 0;
            long long ms = 0;
            size_t timeLen = t.type == 0x28   ? 0
                             : t.type == 0x29 ? b.size()
                                              : b.size() - 3 - (t.type == 0x2B ? 2 : 0);
            if (timeLen > b.size()) throw ProtocolError("date and time value too short");
            int carry = 0;
            if (timeLen)
                ms = std::stoll(
                    timeOfDay(littleEndian(std::string_view(b).substr(0, timeLen)), t.scale, carry));
            if (t.type != 0x29) {
                if (b.size() < timeLen + 3) throw ProtocolError("date value too short");
                days =
                    static_cast<int>(littleEndian(std::string_view(b).substr(timeLen, 3))) - kDays0001To1900;
            }
            days += carry;
            if (t.type == 0x2B) {
                // Kept in UTC with the offset beside it: local time is UTC plus the offset.
                int16_t offset =
                    static_cast<int16_t>(littleEndian(std::string_view(b).substr(timeLen + 3, 2)));
                ms += offset * 60000LL;
                while (ms < 0) ms += 86400000, --days;
                while (ms >= 86400000) ms -= 86400000, ++days;
            }
            p.literal = quoted(dateTimeText(days, ms));
            return;
        }
        case 0x6A:
        case 0x6C: {
            p.type = std::string(t.type == 0x6A ? "decimal" : "numeric") + "(" + std::to_string(t.precision) +
                     "," + std::to_string(t.scale) + ")";
            if (!bytes) return;
            if (bytes->empty()) throw ProtocolError("decimal value too short");
            unsigned __int128 m = 0;
            for (size_t i = bytes->size(); i-- > 1;) m = (m << 8) | static_cast<unsigned char>((*bytes)[i]);
            p.literal = decimalText((*bytes)[0] == 0, m, t.scale);
            return;
        }
        case 0x24:
            p.type = "uniqueidentifier";
            if (bytes) p.literal = quoted(guidText(*bytes));
            return;
        case 0xA7:
        case 0xAF:
        case 0x23:
        case 0xE7:
        case 0xEF:
        case 0x63: {
            bool unicode = t.type == 0xE7 || t.type == 0xEF || t.type == 0x63;
            uint32_t chars = unicode ? t.maxLen / 2 : t.maxLen;
            p.type = t.maxLen == 0xFFFF || chars > 4000 || t.type == 0x23 || t.type == 0x63
                         ? "nvarchar(max)"
                         : "nvarchar(" + std::to_string(std::max<uint32_t>(chars, 1)) + ")";
            if (!bytes) return;
            p.text = unicode ? utf16ToUtf8(*bytes) : cp936ToUtf8(*bytes);
            p.literal = unicodeLiteral(*p.text);
            return;
        }
        case 0xA5:
        case 0xAD:
        case 0x22:
            p.type = t.maxLen == 0xFFFF || t.maxLen > 8000
                         ? "varbinary(max)"
                         : "varbinary(" + std::to_string(std::max<uint32_t>(t.maxLen, 1)) + ")";
            if (bytes) p.literal = bytes->empty() ? "0x" : hex(*bytes);
            return;
        default:
            throw ProtocolError("unknown parameter type");
    }
}

bool isSeparator(uint8_t b) {
    return b == 0x80 || b == 0xFF || b == 0xFE;
}

}  // namespace

std::string unicodeLiteral(const std::string& utf8) {
    std::string out = "N'";
    for (char c : utf8) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

std::string batchText(std::string_view payload, uint32_t version) {
    Reader r(payload);
    skipAllHeaders(r, version);
    return utf16ToUtf8(r.take(r.remaining() & ~static_cast<size_t>(1)));
}

std::vector<RpcCall> parseRpc(std::string_view payload, uint32_t version) {
    Reader r(payload);
    skipAllHeaders(r, version);
    std::vector<RpcCall> calls;
    while (!r.atEnd()) {
        RpcCall call;
        uint16_t nameLen = r.u16();
        if (nameLen == 0xFFFF) {
            uint16_t id = r.u16();
            switch (id) {
                case kSpExecuteSql:
                    call.procName = "sp_executesql";
                    break;
                case kSpPrepare:
                    call.procName = "sp_prepare";
                    break;
                case kSpExecute:
                    call.procName = "sp_execute";
                    break;
                case kSpPrepExec:
                    call.procName = "sp_prepexec";
                    break;
                case kSpUnprepare:
                    call.procName = "sp_unprepare";
                    break;
                default:
                    call.procName = "#" + std::to_string(id);
            }
        } else {
            call.procName = utf16ToUtf8(r.take(static_cast<size_t>(nameLen) * 2));
            for (char& c : call.procName) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (call.procName.rfind("dbo.", 0) == 0) call.procName.erase(0, 4);
        }
        r.u16();  // option flags
        while (!r.atEnd() && !isSeparator(static_cast<uint8_t>(r.data()[r.position()]))) {
            RpcParam p;
            p.name = r.bVarchar();
            p.output = (r.u8() & 0x01) != 0;
            TypeInfo t = readTypeInfo(r);
            convert(p, t, readBytes(r, t));
            call.params.push_back(std::move(p));
        }
        calls.push_back(std::move(call));
        if (!r.atEnd()) r.u8();  // the separator
    }
    return calls;
}

std::vector<std::string> declaredNames(const std::string& text) {
    std::vector<std::string> names;
    int depth = 0;
    bool expectName = true;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '(') ++depth;
        if (c == ')') --depth;
        if (c == ',' && depth == 0) expectName = true;
        if (c == '@' && expectName) {
            size_t j = i + 1;
            while (j < text.size() &&
                   (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_' || text[j] == '@' ||
                    text[j] == '#' || static_cast<unsigned char>(text[j]) >= 0x80))
                ++j;
            names.push_back(text.substr(i, j - i));
            expectName = false;
            i = j - 1;
        }
    }
    return names;
}

std::string declareParams(const std::vector<RpcParam>& params, size_t skip,
                          const std::vector<std::string>& names) {
    std::string sql;
    for (size_t i = skip; i < params.size(); ++i) {
        const RpcParam& p = params[i];
        std::string name = !p.name.empty()           ? p.name
                           : i - skip < names.size() ? names[i - skip]
                                                     : std::string();
        if (name.empty()) throw sqlError<Msg::TooManyArgumentsUnnamed>();
        sql += sql.empty() ? "DECLARE " : ", ";
        sql += name + " " + p.type;
        if (p.literal) sql += " = " + *p.literal;
    }
    return sql.empty() ? sql : sql + ";\n";
}

}  // namespace sqlengine::tds
