#pragma once
// Date-times as the wind files and the model state keep them: a count of
// whole minutes since 30 December 1899 00:00 (the classic date serial's
// origin), so window edges compare exactly; `toDays` gives the serial in
// days for the shared state. Built from integers, never by parsing
// locale-dependent text.
#include <cstdint>
#include <optional>
#include <string>

namespace quor::platform {

struct DateParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Minutes since the origin for a calendar date and time, or nothing when
// the parts do not make one (month 13, 30 February, hour 24, minute 60).
// Years 0-29 mean 2000-2029 and 30-99 mean 1930-1999, as two-digit years
// in wind records do; other years below 100 or above 9999 are refused.
std::optional<int64_t> dateTimeMinutes(int year, int month, int day, int hour = 0, int minute = 0);

DateParts dateParts(int64_t minutes);

double toDays(int64_t minutes);
// The nearest whole minute of a day serial.
int64_t minutesFromDays(double days);

// "2010-01-15" and "17:00:00".
std::string formatDate(int64_t minutes);
std::string formatTime(int64_t minutes, int second = 0);
// The date alone at midnight, else the date, a blank and the time.
std::string formatDateTime(int64_t minutes);

// The machine's local date and time now, as parts (seconds included).
DateParts localNow();

}  // namespace quor::platform
