#pragma once
// Date-times of buoy records and analysis windows, built from whole
// numbers as days since 30 Dec 1899: the user's locale never decides what
// a record's date means.
#include <optional>

namespace quor::wind {

// Two-digit years are read as the old records were written: 0..29 are
// 2000..2029, 30..99 are 1930..1999. Nothing when the date does not exist
// (such as 2/31) or the hour or minute is out of range.
std::optional<double> windDateTime(int year, int month, int day, int hour, int minute = 0);

}  // namespace quor::wind
