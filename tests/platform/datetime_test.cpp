#include <gtest/gtest.h>

#include "platform/datetime.h"

using namespace quor::platform;

TEST(DateTime, CalendarChecksTwoDigitYearsAndTheSerialOrigin) {
    EXPECT_EQ(dateTimeMinutes(1899, 12, 30), 0);
    EXPECT_DOUBLE_EQ(toDays(*dateTimeMinutes(2010, 1, 15, 18)), 40193.75);
    EXPECT_TRUE(dateTimeMinutes(2012, 2, 29));
    EXPECT_FALSE(dateTimeMinutes(2010, 2, 29));
    EXPECT_FALSE(dateTimeMinutes(2000, 13, 1));
    EXPECT_FALSE(dateTimeMinutes(2010, 1, 1, 24));
    EXPECT_FALSE(dateTimeMinutes(2010, 1, 1, 0, 60));
    EXPECT_EQ(dateTimeMinutes(98, 1, 1), dateTimeMinutes(1998, 1, 1));
    EXPECT_EQ(dateTimeMinutes(5, 1, 1), dateTimeMinutes(2005, 1, 1));
    EXPECT_FALSE(dateTimeMinutes(10000, 1, 1));

    const int64_t t = *dateTimeMinutes(2010, 1, 15, 17, 50);
    const DateParts p = dateParts(t + 70);  // across midnight's hour
    EXPECT_EQ(p.day, 15);
    EXPECT_EQ(p.hour, 19);
    EXPECT_EQ(p.minute, 0);
    EXPECT_EQ(formatDateTime(*dateTimeMinutes(2010, 12, 31, 23) + 60), "2011-01-01");
    EXPECT_EQ(formatDateTime(t), "2010-01-15 17:50:00");
    EXPECT_EQ(minutesFromDays(toDays(t)), t);
}
