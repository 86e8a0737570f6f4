#pragma once
// Recursive-descent parser of the T-SQL subset. A batch is parsed whole;
// anything outside the subset raises SqlError 102 ("Incorrect syntax near
// '...'.") before any statement runs.
#include <string>
#include <string_view>
#include <vector>

#include "sqlengine/Ast.h"
#include "sqlengine/Engine.h"

namespace sqlengine {

// Error 191, for a statement whose nesting goes past what the engine takes.
SqlError nestedTooDeeply();

std::vector<StmtPtr> parseBatch(std::string_view sql);

// Parses a stand-alone expression (a stored DEFAULT or CHECK text).
ExprPtr parseExpression(std::string_view sql);

// A transaction or savepoint name as kept: its case and its first 32
// characters.
std::string transactionName(std::string_view name);

}  // namespace sqlengine
