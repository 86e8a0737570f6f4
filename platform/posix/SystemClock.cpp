#include "platform/posix/SystemClock.h"

#include <locale.h>

#include <cwchar>

#include "base/AppError.h"

namespace t7 {
namespace {

AppError invalidCall() {
    return AppError(errnum::InvalidProcedureCall, L"Invalid procedure call or argument");
}

// A locale object for the length of one call; the thread's own locale is
// set back afterwards.
class ScopedLocale {
public:
    explicit ScopedLocale(const std::string& name) {
        // The time formats, and the character set to read them in.
        m_locale = ::newlocale(LC_TIME_MASK | LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(0));
        if (!m_locale) m_locale = ::newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
        if (m_locale) m_previous = ::uselocale(m_locale);
    }
    ~ScopedLocale() {
        if (!m_locale) return;
        ::uselocale(m_previous);
        ::freelocale(m_locale);
    }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;
    bool active() const { return m_locale != static_cast<locale_t>(0); }

private:
    locale_t m_locale = static_cast<locale_t>(0);
    locale_t m_previous = static_cast<locale_t>(0);
};

}  // namespace

std::wstring SystemClock::dateTimeText(std::time_t moment) const {
    std::tm local{};
    if (moment == static_cast<std::time_t>(-1) || !localtime_r(&moment, &local)) throw invalidCall();
    ScopedLocale locale(m_localeName);
    if (!locale.active()) throw invalidCall();
    wchar_t text[128];
    const size_t length = std::wcsftime(text, sizeof text / sizeof text[0], L"%x %X", &local);
    if (length == 0) throw invalidCall();
    return std::wstring(text, length);
}

std::wstring SystemClock::localDateTimeText() const {
    return dateTimeText(std::time(nullptr));
}

std::unique_ptr<IClock> makeClock() {
    return std::make_unique<SystemClock>();
}

}  // namespace t7
