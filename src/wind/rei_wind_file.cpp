#include "wind/rei_wind_file.h"

#include "model/wind_values.h"
#include "platform/folders.h"
#include "platform/numbers.h"
#include "platform/textfile.h"

namespace quor::wind {

namespace {

using platform::DateTime;
using platform::formatSignificant;

std::vector<std::string> commonLines(const ReiWindClimate& c, const DateTime& createdOn, bool rounded) {
    std::vector<std::string> lines = {
        "Winddata File Quor Project", "",
        "Created on: " + platform::formatShortDate(createdOn) + " " + platform::formatLongTime(createdOn), ""};
    auto value = [&](double v) { return formatSignificant(rounded ? platform::roundHalfEven(v, 2) : v); };
    for (int k = 0; k < 8; ++k) {
        lines.push_back(value(c.speed[k]));
        lines.push_back(value(c.percent[k]));
    }
    return lines;
}

std::string cutoffText(double cutoff) { return formatSignificant(cutoff); }

}  // namespace

std::string lineText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7f) out += c;
    }
    return out;
}

std::vector<std::string> reiWindHandEntryLines(const ReiWindClimate& climate, const DateTime& createdOn) {
    return commonLines(climate, createdOn, false);
}

std::vector<std::string> reiWindHandTemporaryLines(const ReiWindClimate& climate, const std::string& station,
                                                   const std::string& startText, const std::string& endText,
                                                   const DateTime& createdOn) {
    auto lines = commonLines(climate, createdOn, false);
    lines.insert(lines.end(), {"", lineText(station), lineText(startText), lineText(endText)});
    return lines;
}

std::vector<std::string> reiWindAnalysisLines(const ReiWindClimate& climate, const std::string& source,
                                              const DateTime& start, const DateTime& end, double cutoff,
                                              const DateTime& createdOn) {
    auto lines = commonLines(climate, createdOn, true);
    lines.insert(lines.end(), {"", lineText(source), platform::formatDateTime(start), platform::formatDateTime(end),
                               cutoffText(cutoff) + "m/s"});
    return lines;
}

std::vector<std::string> reiWindAnalysisTemporaryLines(const ReiWindClimate& climate, const std::string& source,
                                                       const DateTime& start, const DateTime& end, double cutoff,
                                                       const DateTime& createdOn) {
    auto lines = commonLines(climate, createdOn, true);
    lines.insert(lines.end(), {"Station ID" + lineText(source), "Start Date:" + platform::formatDateTime(start),
                               "End Date:" + platform::formatDateTime(end),
                               "Cutoff Speed: " + cutoffText(cutoff) + " m/s"});
    return lines;
}

void writeReiWindHandEntry(const std::string& path, const ReiWindClimate& climate, const DateTime& createdOn) {
    platform::replaceTextLines(path, reiWindHandEntryLines(climate, createdOn));
}

void writeReiWindHandTemporary(const std::string& path, const ReiWindClimate& climate, const std::string& station,
                               const std::string& startText, const std::string& endText,
                               const DateTime& createdOn) {
    platform::replaceTextLines(path, reiWindHandTemporaryLines(climate, station, startText, endText, createdOn));
}

void writeReiWindAnalysis(const std::string& path, const ReiWindClimate& climate, const std::string& source,
                          const DateTime& start, const DateTime& end, double cutoff, const DateTime& createdOn) {
    platform::replaceTextLines(path, reiWindAnalysisLines(climate, source, start, end, cutoff, createdOn));
}

void writeReiWindAnalysisTemporary(const std::string& path, const ReiWindClimate& climate,
                                   const std::string& source, const DateTime& start, const DateTime& end,
                                   double cutoff, const DateTime& createdOn) {
    platform::replaceTextLines(path, reiWindAnalysisTemporaryLines(climate, source, start, end, cutoff, createdOn));
}

ReiWindFileContents readReiWindFile(const std::string& path) {
    std::vector<std::string> lines;
    try {
        lines = platform::readTextLines(path);
    } catch (const platform::FileError& e) {
        throw ReiWindFileError(e.what());
    }
    if (lines.size() > static_cast<size_t>(kReiWindMaxLines))
        throw ReiWindFileError("Line " + std::to_string(kReiWindMaxLines + 1) + " of the wind file: a wind file has at most " +
                               std::to_string(kReiWindMaxLines) + " lines.");
    ReiWindFileContents out;
    out.lineCount = static_cast<int>(lines.size());
    lines.resize(kReiWindMaxLines);
    for (int k = 0; k < 8; ++k) {
        for (int part = 0; part < 2; ++part) {
            const int line = 4 + 2 * k + part;
            if (line >= out.lineCount)
                throw ReiWindFileError("The wind file ends before line " + std::to_string(line + 1) + ".");
            auto v = platform::parseDecimal(lines[line]);
            if (!v) v = model::nonFiniteNumber(lines[line]);
            if (!v)
                throw ReiWindFileError(model::windLineRefusal(line + 1, lines[line], "not a number"));
            const auto problem = part == 0 ? model::windSpeedProblem(*v) : model::windPercentProblem(*v);
            if (problem) throw ReiWindValueError(model::windLineRefusal(line + 1, lines[line], *problem));
            (part == 0 ? out.climate.speed : out.climate.percent)[k] = *v;
        }
    }
    double total = 0;
    for (double p : out.climate.percent) total += p;
    if (auto problem = model::windPercentTotalProblem(total))
        throw ReiWindValueError("Lines 6 to 20 of the wind file: " + *problem + ".");
    out.station = lines[21];
    out.startdate = lines[22];
    out.enddate = lines[23];
    out.cutoff = lines[24];
    return out;
}

std::string temporaryWindFolder(const model::MainFormState& mainform, const model::ModelState& state) {
    if (!mainform.projfile.empty()) return mainform.projfile;
    if (state.app_folder.empty()) return {};
    return platform::joinPath(state.app_folder, "Project");
}

}  // namespace quor::wind
