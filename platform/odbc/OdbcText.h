#pragma once
// Text between the wizard and ODBC's wide calls. SQLWCHAR is UTF-16; wchar_t
// is UTF-32 on Linux and UTF-16 on Windows. This is the one place that
// converts: characters beyond the Basic Multilingual Plane become surrogate
// pairs and back, and a lone surrogate or a value that is no character
// becomes U+FFFD.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/odbc/OdbcApi.h"

namespace t7::odbc {

// `text` as UTF-16 code units followed by a terminating 0.
std::vector<SQLWCHAR> toOdbcText(std::wstring_view text);

// The first `length` code units of `text`.
std::wstring fromOdbcText(const SQLWCHAR* text, size_t length);

}  // namespace t7::odbc
