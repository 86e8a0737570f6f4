#pragma once
// The T-SQL built-in functions that SQLite lacks, registered on every
// connection as _t7_* SQL functions. A failing function reports
// "T7ERR|number|message", which the session turns back into SqlError.
#include <sqlite3.h>

#include <string>

#include "sqlengine/Engine.h"

namespace sqlengine {

class SessionImpl;

using ScalarFunction = void (*)(sqlite3_context*, int, sqlite3_value**);

void registerFunctions(sqlite3* db);
// The functions that need the session: column writes and identity values.
void registerSessionFunctions(sqlite3* db, SessionImpl* session);

// Runs a function as SQLite calls it, turning anything it throws into the
// statement's error: SqlError encoded, std::bad_alloc as out of memory.
void callGuarded(ScalarFunction fn, sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept;

// Encodes an error for sqlite3_result_error and RAISE().
std::string encodeError(const SqlError& e);
// Decodes it; false for a plain SQLite message.
bool decodeError(const std::string& text, int& number, std::string& message);

// The object name inside a possibly qualified, bracketed name text.
std::string objectNameFromText(const std::string& text);

}  // namespace sqlengine
