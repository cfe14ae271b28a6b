#include "wind/wind_record.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "wind/wind_datetime.h"
#include "platform/numbers.h"
#include "platform/textfile.h"

namespace quor::wind {

namespace {

// Whole-number text as most wind files write it, fast; anything else
// through the shared conversion (which rounds half to even, as the model
// converts numbers to 16-bit integers). Nothing for non-numbers.
std::optional<int> parseWhole(std::string_view s) {
    s = trimField(s);
    if (s.empty()) return std::nullopt;
    size_t i = 0;
    bool negative = false;
    if (s[0] == '-' || s[0] == '+') {
        negative = s[0] == '-';
        i = 1;
    }
    if (i < s.size() && s.size() - i <= 6) {
        int v = 0;
        size_t j = i;
        for (; j < s.size() && s[j] >= '0' && s[j] <= '9'; ++j) v = v * 10 + (s[j] - '0');
        if (j == s.size()) return negative ? -v : v;
    }
    try {
        auto v = platform::parseInt16(s);
        if (!v) return std::nullopt;
        return static_cast<int>(*v);
    } catch (const platform::OverflowError&) {
        return std::nullopt;
    }
}

// Hour and minute must be whole: the record's time is built from them as written.
std::optional<int> parseClockPart(std::string_view s) {
    auto v = platform::parseNumber(s);
    if (!v || *v != std::floor(*v) || std::fabs(*v) > 1e6) return std::nullopt;
    return static_cast<int>(*v);
}

double parseValue(std::string_view s) {
    auto v = platform::parseNumber(s);
    return v ? *v : std::numeric_limits<double>::quiet_NaN();
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

}  // namespace

std::optional<int64_t> windMinutes(int year, int month, int day, int hour, int minute) {
    const auto days = windDateTime(year, month, day, hour, minute);
    if (!days) return std::nullopt;
    return daysToMinutes(*days);
}

double minutesToDays(int64_t minutes) { return static_cast<double>(minutes) / 1440.0; }

int64_t daysToMinutes(double days) { return std::llround(days * 1440.0); }

int64_t midnightOf(int64_t minutes) { return minutes - ((minutes % 1440) + 1440) % 1440; }

platform::DateTime minutesToDateTime(int64_t minutes) {
    return platform::DateTime::fromSerialDays(minutesToDays(minutes));
}

std::string readWholeFile(const std::string& path) {
    // Wind records run to hundreds of megabytes: no size bound here, but a
    // pipe would hold the window until some writer came.
    platform::requireRegularFile(path);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw platform::FileError("Cannot read file " + path);
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) throw platform::FileError("Cannot read file " + path);
    return std::move(ss).str();
}

bool LineCursor::next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    size_t end = pos_;
    while (end < text_.size() && text_[end] != '\r' && text_[end] != '\n') ++end;
    line = text_.substr(pos_, end - pos_);
    if (end < text_.size() && text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n') ++end;
    pos_ = end + 1;
    return true;
}

std::string effectiveDelimiter(const std::string& delimiter) { return delimiter.empty() ? " " : delimiter; }

std::string_view trimField(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

void splitFields(std::string_view line, std::string_view delimiter, std::vector<std::string_view>& out) {
    out.clear();
    if (delimiter.empty()) delimiter = " ";
    const bool dropEmpty = delimiter == " ";
    size_t pos = 0;
    while (true) {
        const size_t hit = line.find(delimiter, pos);
        const std::string_view piece = line.substr(pos, hit == std::string_view::npos ? std::string_view::npos : hit - pos);
        if (!dropEmpty || !piece.empty()) out.push_back(piece);
        if (hit == std::string_view::npos) break;
        pos = hit + delimiter.size();
    }
}

std::vector<std::string> headerNames(std::string_view line, const std::string& delimiter) {
    const std::string delim = effectiveDelimiter(delimiter);
    std::vector<std::string_view> pieces;
    splitFields(trimBlanks(line), delim, pieces);
    std::vector<std::string> names;
    for (size_t i = 0; i < pieces.size(); ++i) {
        std::string_view name = trimField(pieces[i]);
        if (name.empty()) {
            if (delim == " ") continue;
            names.push_back("Column " + std::to_string(i + 1));
        } else {
            names.emplace_back(name);
        }
    }
    return names;
}

WindRecordParser::WindRecordParser(const std::string& delimiter, const WindColumns& columns, bool buoyLayout)
    : delimiter_(effectiveDelimiter(delimiter)), columns_(columns), buoyLayout_(buoyLayout) {
    needed_ = std::max({columns_.year, columns_.month, columns_.day, columns_.hour, columns_.minute, columns_.speed,
                        columns_.direction}) + 1;
}

LineVerdict WindRecordParser::parse(std::string_view line, WindRecord& out) {
    line = trimBlanks(line);
    if (line.size() < 15) return LineVerdict::Short;
    splitFields(line, delimiter_, fields_);
    auto field = [&](int column) { return fields_[static_cast<size_t>(column)]; };
    if (static_cast<int>(fields_.size()) < std::max({columns_.year, columns_.month, columns_.day}) + 1)
        return LineVerdict::Short;
    const auto year = parseWhole(field(columns_.year));
    const auto month = parseWhole(field(columns_.month));
    const auto day = parseWhole(field(columns_.day));
    if (!year || !month || !day) return LineVerdict::BadDate;
    if (buoyLayout_ && *year >= 2005 && (columns_.minute != 4 || columns_.speed != 6 || columns_.direction != 5)) {
        columns_.minute = 4;
        columns_.speed = 6;
        columns_.direction = 5;
        needed_ = std::max({columns_.year, columns_.month, columns_.day, columns_.hour, 6}) + 1;
    }
    if (static_cast<int>(fields_.size()) < needed_) return LineVerdict::Short;
    const auto hour = parseClockPart(field(columns_.hour));
    std::optional<int> minute = 0;
    if (columns_.minute >= 0) minute = parseClockPart(field(columns_.minute));
    if (!hour || !minute) return LineVerdict::BadDate;
    const auto when = windMinutes(*year, *month, *day, *hour, *minute);
    if (!when) return LineVerdict::BadDate;
    out.minutes = *when;
    out.speed = parseValue(field(columns_.speed));
    out.direction = parseValue(field(columns_.direction));
    return LineVerdict::Record;
}

}  // namespace quor::wind
