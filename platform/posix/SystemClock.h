#pragma once
// The local clock of the running system, written as the locale's short date
// (LC_TIME's d_fmt, "%x"), a blank and its long time (t_fmt, "%X"): the
// regional settings' counterpart on POSIX. "de_DE.UTF-8" writes
// "07.12.2026 16:05:09", the C locale "12/07/26 16:05:09".
#include <ctime>
#include <string>

#include "errorlog/Clock.h"

namespace t7 {

class SystemClock : public IClock {
public:
    // localeName: the locale to follow; empty follows the environment
    // (LC_ALL, LC_TIME, LANG). A locale that is not installed falls back to
    // the C locale, as the C library does at start-up.
    explicit SystemClock(std::string localeName = {}) : m_localeName(std::move(localeName)) {}

    std::wstring localDateTimeText() const override;
    // The text for a given moment.
    std::wstring dateTimeText(std::time_t moment) const;

private:
    std::string m_localeName;
};

}  // namespace t7
