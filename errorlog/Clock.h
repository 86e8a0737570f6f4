#pragma once
// The clock service: the current local date and time as the text the error
// log writes (the short date, a blank and the long time of the regional
// settings). The POSIX clock writes "2026-12-07 04:33:10".
#include <string>

namespace t7 {

class IClock {
public:
    virtual ~IClock() = default;
    // May raise AppError.
    virtual std::wstring localDateTimeText() const = 0;
};

}  // namespace t7
