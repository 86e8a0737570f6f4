#pragma once
// The ODBC headers. On Windows they need the Windows types declared first.
#if defined(_WIN32)
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
