#include "wind/wind_datetime.h"

#include "platform/date_text.h"

namespace quor::wind {

namespace {

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

std::optional<double> windDateTime(int year, int month, int day, int hour, int minute) {
    if (year >= 0 && year < 30) year += 2000;
    else if (year >= 30 && year < 100) year += 1900;
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1) return std::nullopt;
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int monthLength = lengths[month - 1] + (month == 2 && leap(year) ? 1 : 0);
    if (day > monthLength || hour < 0 || hour > 23 || minute < 0 || minute > 59) return std::nullopt;
    platform::DateTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    return t.toSerialDays();
}

}  // namespace quor::wind
