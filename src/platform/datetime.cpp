#include "platform/datetime.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace quor::platform {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

const int64_t kOriginDays = daysFromCivil(1899, 12, 30);

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : days[m - 1];
}

}  // namespace

std::optional<int64_t> dateTimeMinutes(int year, int month, int day, int hour, int minute) {
    if (year >= 0 && year <= 29) year += 2000;
    else if (year >= 30 && year <= 99) year += 1900;
    if (year < 100 || year > 9999) return std::nullopt;
    if (month < 1 || month > 12) return std::nullopt;
    if (day < 1 || day > daysInMonth(year, month)) return std::nullopt;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59) return std::nullopt;
    const int64_t days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kOriginDays;
    return days * 1440 + hour * 60 + minute;
}

DateParts dateParts(int64_t minutes) {
    int64_t days = minutes >= 0 ? minutes / 1440 : -((-minutes + 1439) / 1440);
    const int64_t rest = minutes - days * 1440;
    DateParts p;
    civilFromDays(days + kOriginDays, p.year, p.month, p.day);
    p.hour = static_cast<int>(rest / 60);
    p.minute = static_cast<int>(rest % 60);
    return p;
}

double toDays(int64_t minutes) { return static_cast<double>(minutes) / 1440.0; }

int64_t minutesFromDays(double days) { return std::llround(days * 1440.0); }

std::string formatDate(int64_t minutes) {
    const DateParts p = dateParts(minutes);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
    return buf;
}

std::string formatTime(int64_t minutes, int second) {
    const DateParts p = dateParts(minutes);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", p.hour, p.minute, second);
    return buf;
}

std::string formatDateTime(int64_t minutes) {
    const DateParts p = dateParts(minutes);
    if (p.hour == 0 && p.minute == 0) return formatDate(minutes);
    return formatDate(minutes) + " " + formatTime(minutes);
}

DateParts localNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace quor::platform
