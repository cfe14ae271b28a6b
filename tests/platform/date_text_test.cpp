#include <gtest/gtest.h>

#include "platform/date_text.h"

using quor::platform::DateTime;

TEST(DateText, SerialDaysAndTheFileForm) {
    EXPECT_EQ(DateTime::fromSerialDays(0), (DateTime{1899, 12, 30}));
    EXPECT_EQ(DateTime::fromSerialDays(40179), (DateTime{2010, 1, 1}));
    EXPECT_EQ(DateTime::fromSerialDays(40543 + 23.0 / 24), (DateTime{2010, 12, 31, 23, 0, 0}));
    EXPECT_EQ(DateTime::fromSerialDays(60000.5 - 1e-9).hour, 12);  // rounded to the nearest second
    EXPECT_EQ(DateTime::fromSerialDays(-1.25), (DateTime{1899, 12, 28, 18, 0, 0}));
    const DateTime leap{2024, 2, 29, 14, 5, 7};
    EXPECT_EQ(DateTime::fromSerialDays(leap.toSerialDays()), leap);

    EXPECT_EQ(quor::platform::formatDateTime(DateTime{2010, 1, 1}), "1/1/2010");
    EXPECT_EQ(quor::platform::formatDateTime(leap), "2/29/2024 2:05:07 PM");
    EXPECT_EQ(quor::platform::formatLongTime(DateTime{2010, 1, 1, 0, 0, 1}), "12:00:01 AM");
    EXPECT_EQ(quor::platform::formatLongTime(DateTime{2010, 1, 1, 12, 59, 59}), "12:59:59 PM");
}
