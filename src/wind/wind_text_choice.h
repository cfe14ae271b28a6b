#pragma once
// What the user chose in the wind text column chooser: the file, the
// delimiter, the row of the column names and the column of each value.
// Kept apart from the dialog so that the wind analysis dialog reads it
// after the chooser's window is gone.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wind/wind_record.h"

namespace quor::wind {

struct WindTextChoice {
    int16_t year1 = -1, month1 = -1, day1 = -1, hour1 = -1, minute1 = -1, windspd1 = -1, winddir1 = -1;
    int16_t linenumber = 1;
    std::string delimiter = " ";
    std::string wind_textfile;
};

WindColumns columnsOf(const WindTextChoice& choice);

// The column names of row `row` (from 1) of the file, cut as headerNames
// does; nothing when the file cannot be read or has fewer rows.
std::optional<std::vector<std::string>> readHeaderNames(const std::string& path, int row,
                                                        const std::string& delimiter);

// The row text as a whole number from 1 to 32767, or nothing.
std::optional<int16_t> parseRowNumber(const std::string& text);

// The seven fields in the chooser's order: year, month, day, hour,
// minute, wind speed, wind direction.
inline constexpr int kChoiceFields = 7;
inline constexpr int kMinuteField = 4;

// Checks the chooser's entries in the order the user is told about them
// and gives the first complaint, or nothing when they make a choice.
// fieldTexts are the seven lists' texts; a name must be one of the header
// names (the minute may be left empty).
std::optional<std::string> checkWindTextChoice(const std::string& path, const std::string& rowText,
                                               const std::array<std::string, kChoiceFields>& fieldTexts,
                                               const std::vector<std::string>& headerNames);

// The position of each field's name in the header names (-1 when empty).
WindTextChoice makeWindTextChoice(const std::string& path, int16_t row, const std::string& delimiter,
                                  const std::array<std::string, kChoiceFields>& fieldTexts,
                                  const std::vector<std::string>& headerNames);

}  // namespace quor::wind
