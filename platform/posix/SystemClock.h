#pragma once
// The local clock of the running system: "YYYY-MM-DD hh:mm:ss" (24-hour).
#include "errorlog/Clock.h"

namespace t7 {

class SystemClock : public IClock {
public:
    std::wstring localDateTimeText() const override;
};

}  // namespace t7
