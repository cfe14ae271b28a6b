#pragma once
// Records of a delimited wind text file: the line cursor, the cutting of a
// line into fields and the parse of one timed wind record. Shared by the
// column chooser, the wind text analysis and the batch cutting, so that all
// three number the columns the same way.
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/date_text.h"

namespace quor::wind {

// Record times are whole minutes since 30 December 1899, so that window
// edges compare exactly; the calendar rules (two-digit years, dates that
// do not exist) are windDateTime's.
std::optional<int64_t> windMinutes(int year, int month, int day, int hour = 0, int minute = 0);
double minutesToDays(int64_t minutes);
int64_t daysToMinutes(double days);
platform::DateTime minutesToDateTime(int64_t minutes);
// The midnight that begins the day of `minutes`.
int64_t midnightOf(int64_t minutes);

// Column positions counted from 0; -1 = no such column (only the minute
// may be missing).
struct WindColumns {
    int year = -1, month = -1, day = -1, hour = -1, minute = -1, speed = -1, direction = -1;
};

// The highest column position a record may address.
inline constexpr int kMaxColumn = 100;

// One record: its time (windMinutes) and its speed and direction, NaN where the field is empty or not a number.
struct WindRecord {
    int64_t minutes = 0;
    double speed = std::numeric_limits<double>::quiet_NaN();
    double direction = std::numeric_limits<double>::quiet_NaN();
};

// Reads a whole file of any length; throws platform::FileError, at once
// for what is not a regular file.
std::string readWholeFile(const std::string& path);

// Walks the lines of a text held in memory; CR LF, LF and CR all end a line.
class LineCursor {
public:
    explicit LineCursor(std::string_view text) : text_(text) {}
    // False at the end of the text.
    bool next(std::string_view& line);

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// An empty delimiter means one blank.
std::string effectiveDelimiter(const std::string& delimiter);

// Cuts a line into fields. With the blank as delimiter, runs of blanks count
// as one separator (aligned columns); with any other delimiter the fields
// are positional, so an empty field keeps its place. Fields are not trimmed.
void splitFields(std::string_view line, std::string_view delimiter, std::vector<std::string_view>& out);

// The column names of a header row, in column order: blanks are removed at
// both ends of the row first. For positional delimiters an empty name is
// shown as "Column " and its 1-based number, so that list positions stay
// the record's column positions.
std::vector<std::string> headerNames(std::string_view line, const std::string& delimiter);

// Blanks and tabs removed at both ends.
std::string_view trimField(std::string_view s);

enum class LineVerdict { Record, Short, BadDate };

// Parses record lines one after another. With the buoy layout, the first
// record of 2005 or later switches the minute, direction and speed to
// columns 4, 5 and 6 for the rest of the file, as the buoy centre's
// yearly files changed then.
class WindRecordParser {
public:
    WindRecordParser(const std::string& delimiter, const WindColumns& columns, bool buoyLayout);

    // Short: under 15 characters once blanks are removed at both ends, or
    // fewer fields than a needed column. BadDate: year, month, day, hour or
    // minute not a number, or not a date and time of the calendar.
    LineVerdict parse(std::string_view line, WindRecord& out);

    const WindColumns& columns() const { return columns_; }

private:
    std::string delimiter_;
    WindColumns columns_;
    bool buoyLayout_;
    int needed_ = 0;
    std::vector<std::string_view> fields_;
};

}  // namespace quor::wind
