#include "platform/win32/Win32Clock.h"

#include <windows.h>

#include "base/AppError.h"

namespace t7 {
namespace {

[[noreturn]] void raiseInvalidCall() {
    throw AppError(errnum::InvalidProcedureCall, L"Invalid procedure call or argument");
}

}  // namespace

std::wstring Win32Clock::localDateTimeText() const {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t date[128] = {};
    wchar_t time[128] = {};
    if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 128)) raiseInvalidCall();
    // Flags 0: the long time format.
    if (!GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, 128)) raiseInvalidCall();
    return std::wstring(date) + L" " + time;
}

std::unique_ptr<IClock> makeClock() {
    return std::make_unique<Win32Clock>();
}

}  // namespace t7
