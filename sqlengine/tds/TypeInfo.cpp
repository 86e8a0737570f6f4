#include "sqlengine/tds/TypeInfo.h"

#include <algorithm>
#include <cctype>
#include <regex>

namespace sqlengine::tds {

namespace {

struct TypeRow {
    const char* name;
    int odbc3, odbc2;  // data type codes by ODBC version
    long long precision;
    const char* prefix;
    const char* suffix;
    const char* params;
    int searchable;
    int unsignedAttr;  // -1: NULL
    int money;
    int minScale, maxScale;        // -1: NULL
    int sqlDataType, datetimeSub;  // -1: NULL
    int radix;                     // -1: NULL
};

const TypeRow kTypes[] = {
    {"bit", -7, -7, 1, nullptr, nullptr, nullptr, 2, -1, 0, 0, 0, -7, -1, -1},
    {"tinyint", -6, -6, 3, nullptr, nullptr, nullptr, 2, 1, 0, 0, 0, -6, -1, 10},
    {"bigint", -5, -5, 19, nullptr, nullptr, nullptr, 2, 0, 0, 0, 0, -5, -1, 10},
    {"image", -4, -4, 2147483647, "0x", nullptr, nullptr, 0, -1, 0, -1, -1, -4, -1, -1},
    {"varbinary", -3, -3, 8000, "0x", nullptr, "max length", 2, -1, 0, -1, -1, -3, -1, -1},
    {"binary", -2, -2, 8000, "0x", nullptr, "length", 2, -1, 0, -1, -1, -2, -1, -1},
    {"text", -1, -1, 2147483647, "'", "'", nullptr, 1, -1, 0, -1, -1, -1, -1, -1},
    {"char", 1, 1, 8000, "'", "'", "length", 3, -1, 0, -1, -1, 1, -1, -1},
    {"numeric", 2, 2, 38, nullptr, nullptr, "precision,scale", 2, 0, 0, 0, 38, 2, -1, 10},
    {"decimal", 3, 3, 38, nullptr, nullptr, "precision,scale", 2, 0, 0, 0, 38, 3, -1, 10},
    {"money", 3, 3, 19, "$", nullptr, nullptr, 2, 0, 1, 4, 4, 3, -1, 10},
    {"smallmoney", 3, 3, 10, "$", nullptr, nullptr, 2, 0, 1, 4, 4, 3, -1, 10},
    {"int", 4, 4, 10, nullptr, nullptr, nullptr, 2, 0, 0, 0, 0, 4, -1, 10},
    {"smallint", 5, 5, 5, nullptr, nullptr, nullptr, 2, 0, 0, 0, 0, 5, -1, 10},
    {"float", 6, 6, 53, nullptr, nullptr, nullptr, 2, 0, 0, -1, -1, 6, -1, 2},
    {"real", 7, 7, 24, nullptr, nullptr, nullptr, 2, 0, 0, -1, -1, 7, -1, 2},
    {"datetime", 93, 11, 23, "'", "'", nullptr, 3, -1, 0, 3, 3, 9, 3, -1},
    {"smalldatetime", 93, 11, 16, "'", "'", nullptr, 3, -1, 0, 0, 0, 9, 3, -1},
    {"varchar", 12, 12, 8000, "'", "'", "max length", 3, -1, 0, -1, -1, 12, -1, -1},
    {"ntext", -10, -10, 1073741823, "N'", "'", nullptr, 1, -1, 0, -1, -1, -10, -1, -1},
    {"nvarchar", -9, -9, 4000, "N'", "'", "max length", 3, -1, 0, -1, -1, -9, -1, -1},
    {"nchar", -8, -8, 4000, "N'", "'", "length", 3, -1, 0, -1, -1, -8, -1, -1},
    {"uniqueidentifier", -11, -11, 36, "'", "'", nullptr, 2, -1, 0, -1, -1, -11, -1, -1},
};

ColumnType type(const char* name, int length = 0) {
    ColumnType t;
    t.name = name;
    t.length = length;
    return t;
}

std::optional<std::string> number(long long v, bool present = true) {
    if (!present) return std::nullopt;
    return std::to_string(v);
}

std::optional<std::string> text(const char* v) {
    if (!v) return std::nullopt;
    return std::string(v);
}

}  // namespace

std::optional<ResultSet> dataTypeInfo(const std::string& batch) {
    // Nearly every batch is something else: look for the name before the
    // whole pattern, which costs far more on a long batch.
    static const std::string name = "sp_datatype_info";
    auto sameLetter = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == static_cast<unsigned char>(b);
    };
    if (std::search(batch.begin(), batch.end(), name.begin(), name.end(), sameLetter) == batch.end())
        return std::nullopt;
    static const std::regex call(
        R"(^\s*(?:exec(?:ute)?\s+)?(?:(?:master\.)?(?:dbo|sys)?\.)?sp_datatype_info(?:_90|_100)?\s*(?:@data_type\s*=\s*)?(-?\d+)?\s*(?:,\s*(?:@odbcver\s*=\s*)?(\d+))?\s*;?\s*$)",
        std::regex::icase);
    std::smatch m;
    if (!std::regex_match(batch, m, call)) return std::nullopt;
    int wanted = m[1].matched ? std::stoi(m[1].str()) : 0;
    int odbcVersion = m[2].matched ? std::stoi(m[2].str()) : 2;
    ResultSet rs;
    const std::pair<const char*, ColumnType> columns[] = {
        {"TYPE_NAME", type("nvarchar", 128)},
        {"DATA_TYPE", type("smallint")},
        {"PRECISION", type("int")},
        {"LITERAL_PREFIX", type("varchar", 32)},
        {"LITERAL_SUFFIX", type("varchar", 32)},
        {"CREATE_PARAMS", type("varchar", 32)},
        {"NULLABLE", type("smallint")},
        {"CASE_SENSITIVE", type("smallint")},
        {"SEARCHABLE", type("smallint")},
        {"UNSIGNED_ATTRIBUTE", type("smallint")},
        {"MONEY", type("smallint")},
        {"AUTO_INCREMENT", type("smallint")},
        {"LOCAL_TYPE_NAME", type("nvarchar", 128)},
        {"MINIMUM_SCALE", type("smallint")},
        {"MAXIMUM_SCALE", type("smallint")},
        {"SQL_DATA_TYPE", type("smallint")},
        {"SQL_DATETIME_SUB", type("smallint")},
        {"NUM_PREC_RADIX", type("int")},
        {"INTERVAL_PRECISION", type("smallint")},
        {"USERTYPE", type("smallint")},
    };
    for (const auto& [name, t] : columns) {
        rs.columns.push_back(name);
        rs.types.push_back(t);
    }
    for (const TypeRow& r : kTypes) {
        int code = odbcVersion >= 3 ? r.odbc3 : r.odbc2;
        if (wanted != 0 && wanted != code) continue;
        bool numeric = r.unsignedAttr >= 0;
        rs.rows.push_back({text(r.name),
                           number(code),
                           number(r.precision),
                           text(r.prefix),
                           text(r.suffix),
                           text(r.params),
                           number(1),
                           number(0),
                           number(r.searchable),
                           number(r.unsignedAttr, numeric),
                           number(r.money),
                           number(0, numeric),
                           text(r.name),
                           number(r.minScale, r.minScale >= 0),
                           number(r.maxScale, r.maxScale >= 0),
                           number(r.sqlDataType),
                           number(r.datetimeSub, r.datetimeSub >= 0),
                           number(r.radix, r.radix >= 0),
                           std::nullopt,
                           number(0)});
    }
    return rs;
}

}  // namespace sqlengine::tds
