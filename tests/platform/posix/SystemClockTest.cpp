#include "platform/posix/SystemClock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/Text.h"

namespace t7 {
namespace {

TEST(SystemClockTest, WritesDateAndTimeAsYearMonthDayAnd24HourTime) {
    EXPECT_THAT(toUtf8(makeClock()->localDateTimeText()),
                ::testing::MatchesRegex("[0-9]{4}-(0[1-9]|1[0-2])-(0[1-9]|[12][0-9]|3[01]) "
                                        "([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]"));
}

}  // namespace
}  // namespace t7
