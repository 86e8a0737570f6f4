#pragma once
// One owning wrapper for an ODBC handle (environment, connection or
// statement), and the diagnostic records a failed call leaves on it.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/odbc/OdbcApi.h"

namespace t7::odbc {

class OdbcHandle {
public:
    OdbcHandle() = default;
    // Allocates a handle of `type` under `parent` (SQL_NULL_HANDLE for an
    // environment). Raises the component's own failure (number 0) when the
    // driver manager refuses, with the parent's diagnostics as text.
    OdbcHandle(SQLSMALLINT type, SQLHANDLE parent);
    ~OdbcHandle();
    OdbcHandle(OdbcHandle&& other) noexcept;
    OdbcHandle& operator=(OdbcHandle&& other) noexcept;
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;

    SQLHANDLE get() const { return m_handle; }
    SQLSMALLINT type() const { return m_type; }
    explicit operator bool() const { return m_handle != SQL_NULL_HANDLE; }

private:
    void release() noexcept;

    SQLSMALLINT m_type = 0;
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

// One diagnostic record: SQLSTATE, the native (server) error number and the
// message with the driver's "[vendor][component]" prefixes.
struct Diagnostic {
    std::wstring state;
    int32_t native = 0;
    std::wstring message;
};

// The diagnostic records of the last call on the handle.
std::vector<Diagnostic> readDiagnostics(SQLSMALLINT type, SQLHANDLE handle);
inline std::vector<Diagnostic> readDiagnostics(const OdbcHandle& handle) {
    return readDiagnostics(handle.type(), handle.get());
}

inline bool succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

}  // namespace t7::odbc
