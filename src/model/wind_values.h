#pragma once
// What a wind climate and a wind record may hold. The wind files' readers,
// the hand-entry form and the three wind analyses all go by these rules,
// so a file one part writes is a file every other part reads alike.
#include <optional>
#include <string>

namespace quor::model {

// What a run of either model says when the project has no wind file: a
// project made for batch runs starts without one.
inline constexpr const char* kNoProjectWind =
    "The project has no wind data file. Make one with Wind > Download/Create Wind Data... and give it to the "
    "project with Wind > Change Wind Data...";

// A mean wind speed above this is beyond any wind ever measured; a file
// that holds one was not made from wind records.
inline constexpr double kMaxWindSpeed = 100.0;  // m/s

// Percentages rounded to 2 decimals may add up to a little over 100 (56
// sectors by at most 0.005 each); a sum above this was not rounded so.
inline constexpr double kMaxPercentTotal = 101.0;

// Why a mean speed (m/s) cannot be used, or nothing: negative, not a
// finite number, or above kMaxWindSpeed.
std::optional<std::string> windSpeedProblem(double speed);

// Why a percentage of time cannot be used, or nothing: outside 0 to 100.
std::optional<std::string> windPercentProblem(double percent);

// Why percentages that add up to `total` cannot be one climate, or nothing.
std::optional<std::string> windPercentTotalProblem(double total);

// The value of a text written as a number that is no finite one ("inf",
// "nan", "1e400"), so that such a line is refused for what it holds rather
// than as text; nothing for any other text.
std::optional<double> nonFiniteNumber(const std::string& text);

// The refusal of one file line: its number (from 1), its text and why.
std::string windLineRefusal(int lineNumber, const std::string& text, const std::string& why);

// Direction codes of wind records: degrees clockwise from north, 0 to 360,
// where 360 is north as 0 is. 999 marks a missing direction. The direction
// in 0 to 360 (360 given back as 0), or nothing for a missing or
// impossible code (below 0, above 360, not a number).
std::optional<double> windDirection(double degrees);

}  // namespace quor::model
