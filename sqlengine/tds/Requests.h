#pragma once
// The client's requests after login: SQL batches and RPC calls. RPC
// parameters arrive typed; they become T-SQL variables declared ahead of
// the statement, as sp_executesql itself declares them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sqlengine::tds {

// The text of a SQL batch message (after its ALL_HEADERS, TDS 7.2 on).
std::string batchText(std::string_view payload, uint32_t tdsVersion);

struct RpcParam {
    std::string name;  // "@P1", or empty when the client sent none
    bool output = false;
    std::string type;                    // the T-SQL type to declare it as
    std::optional<std::string> literal;  // T-SQL literal; nullopt for NULL
    std::optional<std::string> text;     // character data, as UTF-8
    std::optional<long long> integer;    // integer data
};

// Well-known procedures by the number a client may send instead of a name.
enum ProcId : uint16_t {
    kSpExecuteSql = 10,
    kSpPrepare = 11,
    kSpExecute = 12,
    kSpPrepExec = 13,
    kSpUnprepare = 15,
};

struct RpcCall {
    std::string procName;  // lower case; "sp_executesql" for kSpExecuteSql
    std::vector<RpcParam> params;
};

// Raises ProtocolError for a malformed stream.
std::vector<RpcCall> parseRpc(std::string_view payload, uint32_t tdsVersion);

// The names in a parameter declaration list such as "@P1 int,@P2
// nvarchar(10) OUTPUT", in order.
std::vector<std::string> declaredNames(const std::string& declarations);

// "DECLARE @P1 int = 5, ...;" for the parameters after the first `skip`,
// named by `names` where the client sent no name; empty when none.
std::string declareParams(const std::vector<RpcParam>& params, size_t skip,
                          const std::vector<std::string>& names);

// A T-SQL string literal N'...'.
std::string unicodeLiteral(const std::string& utf8);

}  // namespace sqlengine::tds
