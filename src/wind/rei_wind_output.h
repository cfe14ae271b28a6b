#pragma once
// The lines of the REI wind file written by the buoy analysis: the
// 25-line file the user saves and the 24-line temporary one.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quor::wind {

// Class results in the file's order E, SE, S, SW, W, NW, N, NE.
struct ReiClassValues {
    std::array<double, 8> speed{};    // m/s, rounded to 2 decimals
    std::array<double, 8> percent{};  // % of time, rounded to 2 decimals
};

// Rounds the single-precision class means and the percentages
// (count / total * 100 in single precision) to 2 decimals, half to even.
// A total of 0 gives 0 percent everywhere.
ReiClassValues roundReiClasses(const std::array<float, 8>& meanSpeed, const std::array<float, 8>& count,
                               int32_t total);

// The runtime's default number text: 15 significant digits, no trailing zeros.
std::string runtimeNumberText(double value);

// Removes control characters, so a text cannot break a file's lines.
std::string singleLineText(const std::string& text);

struct ReiAnalysisHeader {
    std::string createdOn;  // "date time" of writing
    std::string source;     // station entry
    std::string startText, endText;
    double cutSpeed = 0;
};

std::vector<std::string> reiAnalysisFileLines(const ReiClassValues& v, const ReiAnalysisHeader& h);
std::vector<std::string> reiAnalysisTemporaryLines(const ReiClassValues& v, const ReiAnalysisHeader& h);

}  // namespace quor::wind
