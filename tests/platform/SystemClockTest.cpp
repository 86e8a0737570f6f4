#include <gtest/gtest.h>

#include <regex>

#include "base/Text.h"
#include "platform/posix/SystemClock.h"

namespace t7 {
namespace {

TEST(SystemClockTest, WritesDateAndTimeAsYearMonthDayAnd24HourTime) {
    const std::string text = toUtf8(makeClock()->localDateTimeText());
    EXPECT_TRUE(std::regex_match(
        text, std::regex(R"(\d{4}-(0[1-9]|1[0-2])-(0[1-9]|[12]\d|3[01]) ([01]\d|2[0-3]):[0-5]\d:[0-5]\d)")))
        << text;
}

}  // namespace
}  // namespace t7
