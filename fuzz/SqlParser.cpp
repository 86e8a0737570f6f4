// libFuzzer target for the T-SQL parser. The first byte picks the mode:
// even, the rest is one batch; odd, the rest is a prefix repeated up to
// 4,000 times before "1", so that nesting (parentheses, NOT, signs,
// subqueries, IFs) goes far past what the parser takes. Either way the
// parser returns a tree or raises SqlError; a crash, a hang or another
// exception is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sqlengine/Engine.h"
#include "sqlengine/Parser.h"

namespace {

void parse(const std::string& sql) {
    try {
        sqlengine::parseBatch(sql);
    } catch (const sqlengine::SqlError& e) {
        if (e.number() <= 0) std::abort();
    }
    try {
        sqlengine::parseExpression(sql);
    } catch (const sqlengine::SqlError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] % 2 == 0 || rest.empty()) {
        parse(rest);
        return 0;
    }
    size_t times = 4000 / rest.size() + 1;
    std::string sql = "SELECT ";
    for (size_t i = 0; i < times; ++i) sql += rest;
    parse(sql + "1");
    return 0;
}
