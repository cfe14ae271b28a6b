#include "wind/rei_wind_output.h"

#include <cstdio>

#include "platform/numbers.h"

namespace quor::wind {

ReiClassValues roundReiClasses(const std::array<float, 8>& meanSpeed, const std::array<float, 8>& count,
                               int32_t total) {
    ReiClassValues v;
    for (size_t k = 0; k < 8; ++k) {
        const float pct = total > 0 ? count[k] / static_cast<float>(total) * 100.0f : 0.0f;
        v.percent[k] = platform::roundHalfEven(static_cast<double>(pct), 2);
        v.speed[k] = platform::roundHalfEven(static_cast<double>(meanSpeed[k]), 2);
    }
    return v;
}

std::string runtimeNumberText(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    auto parsed = platform::parseNumber(buf);
    return platform::formatNumber(parsed ? *parsed : value);
}

std::string singleLineText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text)
        if (c >= 0x20 && c != 0x7F) out += static_cast<char>(c);
    return out;
}

namespace {

std::vector<std::string> commonLines(const ReiClassValues& v, const ReiAnalysisHeader& h) {
    std::vector<std::string> lines{"Winddata File Quor Project", "", "Created on: " + singleLineText(h.createdOn), ""};
    for (size_t k = 0; k < 8; ++k) {
        lines.push_back(platform::formatNumber(v.speed[k]));
        lines.push_back(platform::formatNumber(v.percent[k]));
    }
    return lines;
}

}  // namespace

std::vector<std::string> reiAnalysisFileLines(const ReiClassValues& v, const ReiAnalysisHeader& h) {
    auto lines = commonLines(v, h);
    lines.push_back("");
    lines.push_back(singleLineText(h.source));
    lines.push_back(singleLineText(h.startText));
    lines.push_back(singleLineText(h.endText));
    lines.push_back(runtimeNumberText(h.cutSpeed) + "m/s");
    return lines;
}

std::vector<std::string> reiAnalysisTemporaryLines(const ReiClassValues& v, const ReiAnalysisHeader& h) {
    auto lines = commonLines(v, h);
    lines.push_back("Station ID" + singleLineText(h.source));
    lines.push_back("Start Date:" + singleLineText(h.startText));
    lines.push_back("End Date:" + singleLineText(h.endText));
    lines.push_back("Cutoff Speed: " + runtimeNumberText(h.cutSpeed) + " m/s");
    return lines;
}

}  // namespace quor::wind
