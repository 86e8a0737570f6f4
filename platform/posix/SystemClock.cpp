#include "platform/posix/SystemClock.h"

#include <cstdio>
#include <ctime>

#include "base/AppError.h"

namespace t7 {

std::wstring SystemClock::localDateTimeText() const {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || !localtime_r(&now, &local)) {
        throw AppError(errnum::InvalidProcedureCall, L"Invalid procedure call or argument");
    }
    wchar_t text[32];
    std::swprintf(text, sizeof text / sizeof text[0], L"%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::unique_ptr<IClock> makeClock() {
    return std::make_unique<SystemClock>();
}

}  // namespace t7
