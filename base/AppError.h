#pragma once
// The one error type of the wizard: a signed 32-bit number and a description,
// like the error object of the runtime the wizard was designed for. Platform
// adapters raise it; routines trap it at their fixed way out.
#include <cstdint>
#include <exception>
#include <string>

namespace t7 {

// Error numbers of the runtime that the wizard's routines rely on.
namespace errnum {
constexpr int32_t Overflow = 6;
constexpr int32_t SubscriptOutOfRange = 9;
constexpr int32_t FileNotFound = 53;
constexpr int32_t PermissionDenied = 70;
constexpr int32_t PathNotFound = 76;
constexpr int32_t InvalidProcedureCall = 5;
constexpr int32_t ObjectRequired = 424;
// Errors of the database component: 0x80040000 + server error number.
constexpr int32_t DatabaseComponentBase = static_cast<int32_t>(0x80040000u);
}  // namespace errnum

class AppError : public std::exception {
public:
    AppError(int32_t number, std::wstring description);

    int32_t number() const noexcept { return m_number; }
    const std::wstring& description() const noexcept { return m_description; }
    // UTF-8 form of the description, for diagnostics only.
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    int32_t m_number;
    std::wstring m_description;
    std::string m_what;
};

// Number of a database component error for a server error number, as the
// management component maps it (server error 15118 -> -2147206386).
int32_t databaseComponentError(int32_t serverErrorNumber);

}  // namespace t7
