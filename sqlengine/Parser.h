#pragma once
// Recursive-descent parser of the T-SQL subset. A batch is parsed whole;
// anything outside the subset raises SqlError 102 ("Incorrect syntax near
// '...'.") before any statement runs.
#include <string_view>
#include <vector>

#include "sqlengine/Ast.h"

namespace sqlengine {

std::vector<StmtPtr> parseBatch(std::string_view sql);

// Parses a stand-alone expression (a stored DEFAULT or CHECK text).
ExprPtr parseExpression(std::string_view sql);

}  // namespace sqlengine
