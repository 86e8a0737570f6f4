#pragma once
// The local clock of Windows: the short date and the long time of the
// user's regional settings (GetDateFormatW, GetTimeFormatW), separated by a
// blank, as the error log writes them.
#include "errorlog/Clock.h"

namespace t7 {

class Win32Clock : public IClock {
public:
    // Raises AppError 5 when the system cannot format the time.
    std::wstring localDateTimeText() const override;
};

}  // namespace t7
