#include "wind/wind_text_choice.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "platform/numbers.h"
#include "platform/textfile.h"

namespace quor::wind {

namespace {

const char* const kFieldNames[kChoiceFields] = {"year", "month", "day", "hour", "minute", "wind speed",
                                                "wind direction"};

int positionOf(const std::string& name, const std::vector<std::string>& names) {
    const auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

}  // namespace

WindColumns columnsOf(const WindTextChoice& c) {
    return {c.year1, c.month1, c.day1, c.hour1, c.minute1, c.windspd1, c.winddir1};
}

std::optional<std::vector<std::string>> readHeaderNames(const std::string& path, int row,
                                                        const std::string& delimiter) {
    if (row < 1 || path.empty()) return std::nullopt;
    try {
        platform::requireRegularFile(path);
    } catch (const platform::FileError&) {
        return std::nullopt;
    }
    // Only the start of the file is read: the chooser asks again on every
    // change of the row, and wind records run to many megabytes.
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text;
    std::vector<char> buf(1 << 16);
    std::string_view line;
    while (true) {
        in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
        const auto got = in.gcount();
        text.append(buf.data(), static_cast<size_t>(got));
        const bool atEnd = got == 0 || !in;
        // The row is complete once a line end follows it (or the file ends).
        LineCursor cursor(text);
        int seen = 0;
        while (seen < row && cursor.next(line)) ++seen;
        std::string_view rest;
        if (seen == row && (atEnd || cursor.next(rest))) break;
        if (atEnd) return std::nullopt;
    }
    return headerNames(line, delimiter);
}

std::optional<int16_t> parseRowNumber(const std::string& text) {
    const auto v = platform::parseNumber(text);
    if (!v || *v != std::floor(*v) || *v < 1 || *v > 32767) return std::nullopt;
    return static_cast<int16_t>(*v);
}

std::optional<std::string> checkWindTextChoice(const std::string& path, const std::string& rowText,
                                               const std::array<std::string, kChoiceFields>& fieldTexts,
                                               const std::vector<std::string>& names) {
    if (path.empty()) return std::string("No wind data file selected.");
    for (int i = 0; i < kChoiceFields; ++i) {
        if (i == kMinuteField) continue;
        if (fieldTexts[i].empty()) return "Please select " + std::string(kFieldNames[i]) + " field";
    }
    if (!parseRowNumber(rowText)) return std::string("The row of the column names must be a whole number from 1 on.");
    for (int i = 0; i < kChoiceFields; ++i) {
        if (fieldTexts[i].empty()) continue;
        if (positionOf(fieldTexts[i], names) < 0)
            return "The " + std::string(kFieldNames[i]) + " column \"" + fieldTexts[i] +
                   "\" is not a column name of the chosen row; please select it from the list.";
    }
    return std::nullopt;
}

WindTextChoice makeWindTextChoice(const std::string& path, int16_t row, const std::string& delimiter,
                                  const std::array<std::string, kChoiceFields>& t,
                                  const std::vector<std::string>& names) {
    auto pos = [&](int i) { return static_cast<int16_t>(t[i].empty() ? -1 : positionOf(t[i], names)); };
    WindTextChoice c;
    c.year1 = pos(0);
    c.month1 = pos(1);
    c.day1 = pos(2);
    c.hour1 = pos(3);
    c.minute1 = pos(4);
    c.windspd1 = pos(5);
    c.winddir1 = pos(6);
    c.linenumber = row;
    c.delimiter = delimiter;
    c.wind_textfile = path;
    return c;
}

}  // namespace quor::wind
