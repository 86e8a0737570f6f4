#pragma once
// Values as the engine passes them between T-SQL variables and SQLite, and
// the conversions between T-SQL types with SQL Server's errors.
#include <string>

#include "sqlengine/Ast.h"

namespace sqlengine {

struct Value {
    enum class Kind { Null, Int, Real, Text, Blob };
    Kind kind = Kind::Null;
    long long i = 0;
    double r = 0;
    std::string s;

    static Value null() { return {}; }
    static Value integer(long long v) {
        Value x;
        x.kind = Kind::Int;
        x.i = v;
        return x;
    }
    static Value real(double v) {
        Value x;
        x.kind = Kind::Real;
        x.r = v;
        return x;
    }
    static Value text(std::string v) {
        Value x;
        x.kind = Kind::Text;
        x.s = std::move(v);
        return x;
    }
    bool isNull() const { return kind == Kind::Null; }
    // The text form used in result sets and messages.
    std::string toText() const;
    // True when the value counts as true in a condition.
    bool truthy() const;
};

enum class TypeClass { Integer, Bit, Decimal, Float, Char, Binary, DateTime, Guid, Unknown };

TypeClass typeClass(const std::string& typeName);
bool isKnownType(const std::string& typeName);
bool isUnicodeType(const std::string& typeName);
// Fills in the defaults of a type written without length (char(1),
// varchar(30) in a cast, decimal(18,0)); `inCast` picks the cast default.
TypeSpec normalizeType(TypeSpec t, bool inCast);
// Bytes a column of this type takes in SQL Server's col_length terms (-1 for max).
int maxLength(const TypeSpec& t);
// The SQLite column declaration (affinity) for a type.
const char* sqliteAffinity(const TypeSpec& t);
std::string typeDisplayName(const TypeSpec& t);

enum class ConvertMode {
    Store,  // into a column: too long is error 8152
    Cast,   // CAST/CONVERT and variable assignment: silently cut
};

// Converts `v` to type `t`. Raises SqlError 245/241/8114/8115/8152/8169 as
// SQL Server does. `style` is the CONVERT style (-1 when not given).
Value convertValue(const Value& v, const TypeSpec& t, ConvertMode mode, int style = -1);

// A decimal(p, s) value as SQL Server shows it: with s digits after the point.
std::string decimalText(const Value& v, int scale);

// Current local time in the stored datetime form "YYYY-MM-DD HH:MM:SS.mmm".
std::string currentDateTime();
// Parses a datetime text; false when it is not one.
bool parseDateTime(const std::string& text, int& y, int& mo, int& d, int& h, int& mi, int& s, int& ms);
std::string formatDateTime(int y, int mo, int d, int h, int mi, int s, int ms);
std::string newGuid();
// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back.
long long daysFromCivil(long long y, unsigned m, unsigned d);
void civilFromDays(long long z, int& y, int& m, int& d);

}  // namespace sqlengine
