#pragma once
// Dates and times as the program writes them into its text files. They
// are built from whole numbers, never by reading locale text, and always
// take one form: month/day/year and a 12-hour clock ("3/14/2024",
// "12/31/2010 11:00:00 PM"), the form the program's files have always had.
#include <string>

namespace quor::platform {

struct DateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;

    // The local date and time now.
    static DateTime now();
    // From days since 30 December 1899 with the time of day as the
    // fraction (the serial form that analyses store), to the nearest second.
    static DateTime fromSerialDays(double days);
    double toSerialDays() const;

    bool operator==(const DateTime&) const = default;
};

// "3/14/2024"
std::string formatShortDate(const DateTime& t);
// "2:05:07 PM"
std::string formatLongTime(const DateTime& t);
// The short date, followed by the time when it is not midnight.
std::string formatDateTime(const DateTime& t);

}  // namespace quor::platform
