#include "platform/odbc/OdbcHandle.h"

#include <algorithm>
#include <utility>

#include "base/AppError.h"
#include "platform/odbc/OdbcErrors.h"
#include "platform/odbc/OdbcText.h"

namespace t7::odbc {

OdbcHandle::OdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : m_type(type) {
    SQLRETURN rc = SQLAllocHandle(type, parent, &m_handle);
    if (!succeeded(rc)) {
        m_handle = SQL_NULL_HANDLE;
        std::vector<Diagnostic> records;
        if (parent != SQL_NULL_HANDLE) {
            records = readDiagnostics(type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV, parent);
        }
        if (records.empty())
            records.push_back({L"HY001", 0, L"The ODBC driver manager could not allocate a handle."});
        throw componentError(records);
    }
}

OdbcHandle::~OdbcHandle() {
    release();
}

OdbcHandle::OdbcHandle(OdbcHandle&& other) noexcept
    : m_type(other.m_type), m_handle(std::exchange(other.m_handle, SQLHANDLE{})) {}

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept {
    if (this != &other) {
        release();
        m_type = other.m_type;
        m_handle = std::exchange(other.m_handle, SQLHANDLE{});
    }
    return *this;
}

void OdbcHandle::release() noexcept {
    if (m_handle != SQL_NULL_HANDLE) SQLFreeHandle(m_type, m_handle);
    m_handle = SQL_NULL_HANDLE;
}

std::vector<Diagnostic> readDiagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::vector<Diagnostic> records;
    if (handle == SQL_NULL_HANDLE) return records;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLWCHAR> message(1024);
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(type, handle, i, state, &native, message.data(),
                                      static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            message.resize(static_cast<size_t>(length) + 1);
            rc = SQLGetDiagRecW(type, handle, i, state, &native, message.data(),
                                static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!succeeded(rc)) break;
        size_t used = std::min(static_cast<size_t>(length < 0 ? 0 : length), message.size() - 1);
        records.push_back(
            {fromOdbcText(state, 5), static_cast<int32_t>(native), fromOdbcText(message.data(), used)});
    }
    return records;
}

}  // namespace t7::odbc
