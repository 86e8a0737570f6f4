#pragma once
// sp_datatype_info: the catalog procedure ODBC drivers call for
// SQLGetTypeInfo. The engine has no such procedure; the listener answers it
// for the engine's types.
#include <optional>
#include <string>

#include "sqlengine/Engine.h"

namespace sqlengine::tds {

// The result set when `batch` is a call of sp_datatype_info (or its _90 and
// _100 forms), else nullopt.
std::optional<ResultSet> dataTypeInfo(const std::string& batch);

}  // namespace sqlengine::tds
