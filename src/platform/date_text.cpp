#include "platform/date_text.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace quor::platform {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
long long daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + static_cast<unsigned>(d) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

const long long kSerialEpoch = daysFromCivil(1899, 12, 30);

}  // namespace

DateTime DateTime::now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

DateTime DateTime::fromSerialDays(double days) {
    const long long seconds = std::llround(days * 86400.0);
    long long dayCount = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --dayCount;
    }
    DateTime t;
    civilFromDays(kSerialEpoch + dayCount, t.year, t.month, t.day);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

double DateTime::toSerialDays() const {
    return static_cast<double>(daysFromCivil(year, month, day) - kSerialEpoch) +
           (hour * 3600 + minute * 60 + second) / 86400.0;
}

std::string formatShortDate(const DateTime& t) {
    return std::to_string(t.month) + "/" + std::to_string(t.day) + "/" + std::to_string(t.year);
}

std::string formatLongTime(const DateTime& t) {
    const int h12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    return std::to_string(h12) + ":" + two(t.minute) + ":" + two(t.second) + (t.hour < 12 ? " AM" : " PM");
}

std::string formatDateTime(const DateTime& t) {
    if (t.hour == 0 && t.minute == 0 && t.second == 0) return formatShortDate(t);
    return formatShortDate(t) + " " + formatLongTime(t);
}

}  // namespace quor::platform
