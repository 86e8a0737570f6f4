#pragma once
// How the diagnostics of a failed ODBC call become the component's errors,
// as the embedded server's component raises them (see
// database/DatabaseComponent.h):
// - a record with a server error number gives databaseComponentError(number)
//   and the server's message without the driver's "[vendor]" prefixes;
// - otherwise a lost or refused connection (SQLSTATE 08…, timeouts HYT00 and
//   HYT01) gives server error 17, "SQL Server does not exist or access
//   denied.";
// - otherwise the component's own failure (number 0) with the driver's text.
// A record counts as the server's when its number is not 0 and, for a
// connection failure, the message comes from the server ("[SQL Server]" last
// prefix) and the number is not one of FreeTDS's own (20000 to 20999).
#include <string>
#include <vector>

#include "base/AppError.h"
#include "platform/odbc/OdbcHandle.h"

namespace t7::odbc {

// The error for `records` (which may be empty).
AppError componentError(const std::vector<Diagnostic>& records);

// True when `records` say the connection is gone or was never made.
bool isLinkFailure(const std::vector<Diagnostic>& records);

// `message` without its leading "[…]" prefixes.
std::wstring serverText(const std::wstring& message);

// `error` with every occurrence of each non-empty secret replaced by "****".
AppError withoutSecrets(const AppError& error, const std::vector<std::wstring>& secrets);

}  // namespace t7::odbc
