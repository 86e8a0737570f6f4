#include "base/AppError.h"

#include "base/Text.h"

namespace t7 {

AppError::AppError(int32_t number, std::wstring description)
    : m_number(number), m_description(std::move(description)),
      m_what(std::to_string(number) + ": " + toUtf8(m_description)) {}

int32_t databaseComponentError(int32_t serverErrorNumber) {
    return static_cast<int32_t>(0x80040000u + static_cast<uint32_t>(serverErrorNumber));
}

}  // namespace t7
