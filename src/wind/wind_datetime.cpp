#include "wind/wind_datetime.h"

#include <cmath>
#include <cstdio>

namespace quor::wind {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long daysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

void civilFromDays(long z, long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

constexpr long kEpochOffset = 25569;  // days from 1899-12-30 to 1970-01-01

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

std::optional<double> windDateTime(int year, int month, int day, int hour, int minute) {
    if (year >= 0 && year < 30) year += 2000;
    else if (year >= 30 && year < 100) year += 1900;
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1) return std::nullopt;
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int monthLength = lengths[month - 1] + (month == 2 && leap(year) ? 1 : 0);
    if (day > monthLength || hour < 0 || hour > 23 || minute < 0 || minute > 59) return std::nullopt;
    const long days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + kEpochOffset;
    return static_cast<double>(days) + (hour * 60 + minute) / 1440.0;
}

std::string windDateText(double dateTime) {
    const double dayPart = std::floor(dateTime);
    long seconds = std::lround((dateTime - dayPart) * 86400.0);
    long days = static_cast<long>(dayPart);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++days;
    }
    long y;
    unsigned m, d;
    civilFromDays(days - kEpochOffset, y, m, d);
    char buf[64];
    if (seconds == 0) {
        std::snprintf(buf, sizeof buf, "%u/%u/%ld", m, d, y);
    } else {
        std::snprintf(buf, sizeof buf, "%u/%u/%ld %ld:%02ld:%02ld", m, d, y, seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    }
    return buf;
}

}  // namespace quor::wind
