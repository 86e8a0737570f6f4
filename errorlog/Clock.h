#pragma once
// The clock service: the current local date and time as the text the error
// log writes (the short date, a blank and the long time of the regional
// settings). The POSIX clock writes "2026-12-07 04:33:10".
#include <memory>
#include <string>

namespace t7 {

class IClock {
public:
    virtual ~IClock() = default;
    // May raise AppError.
    virtual std::wstring localDateTimeText() const = 0;
};

// The clock of the platform the program was built for.
std::unique_ptr<IClock> makeClock();

}  // namespace t7
