#pragma once
// The REI wind file: a wind climate of eight compass classes as text, in
// four variants that share their first 20 lines.
//
//   0  "Winddata File Quor Project"     4 + 2k  mean speed of class k, m/s
//   1  (empty)                          5 + 2k  percentage of time of class k
//   2  "Created on: " date time         (k = 0 E, 1 SE, 2 S, 3 SW, 4 W, 5 NW, 6 N, 7 NE)
//   3  (empty)
//
// hand entry (20 lines) ends there; hand entry, temporary (24) adds an
// empty line, the station and the two date texts as typed; analysis (25)
// rounds the values to 2 decimals half to even and adds an empty line, the
// station, the window's start and end and the cut-off & "m/s"; analysis,
// temporary (24) labels those four lines and has no empty line before them.
// Every line ends in CR LF; numbers are written with "." in any locale.
#include <array>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/model_state.h"
#include "platform/date_text.h"

namespace quor::wind {

struct ReiWindClimate {
    std::array<double, 8> speed{};    // m/s, class order E, SE, S, SW, W, NW, N, NE
    std::array<double, 8> percent{};  // % of time
};

inline constexpr int kReiWindMaxLines = 29;
inline constexpr const char* kTemporaryWindFile = "temporary_wind.txt";

class ReiWindFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that reads, but holds a speed or percentage no wind climate can
// have; the text names the line and what it holds.
class ReiWindValueError : public ReiWindFileError {
public:
    using ReiWindFileError::ReiWindFileError;
};

// Text made fit for one file line: control characters (a line break in a
// station name, a tab) are removed, so a value can never shift the lines.
std::string lineText(std::string_view text);

// The lines of each variant, without line ends.
std::vector<std::string> reiWindHandEntryLines(const ReiWindClimate& climate,
                                               const platform::DateTime& createdOn);
std::vector<std::string> reiWindHandTemporaryLines(const ReiWindClimate& climate, const std::string& station,
                                                   const std::string& startText, const std::string& endText,
                                                   const platform::DateTime& createdOn);
std::vector<std::string> reiWindAnalysisLines(const ReiWindClimate& climate, const std::string& source,
                                              const platform::DateTime& start, const platform::DateTime& end,
                                              double cutoff, const platform::DateTime& createdOn);
std::vector<std::string> reiWindAnalysisTemporaryLines(const ReiWindClimate& climate, const std::string& source,
                                                       const platform::DateTime& start,
                                                       const platform::DateTime& end, double cutoff,
                                                       const platform::DateTime& createdOn);

// The writers: create or replace the file. platform::FileError when it
// cannot be written.
void writeReiWindHandEntry(const std::string& path, const ReiWindClimate& climate,
                           const platform::DateTime& createdOn = platform::DateTime::now());
void writeReiWindHandTemporary(const std::string& path, const ReiWindClimate& climate, const std::string& station,
                               const std::string& startText, const std::string& endText,
                               const platform::DateTime& createdOn = platform::DateTime::now());
void writeReiWindAnalysis(const std::string& path, const ReiWindClimate& climate, const std::string& source,
                          const platform::DateTime& start, const platform::DateTime& end, double cutoff,
                          const platform::DateTime& createdOn = platform::DateTime::now());
void writeReiWindAnalysisTemporary(const std::string& path, const ReiWindClimate& climate,
                                   const std::string& source, const platform::DateTime& start,
                                   const platform::DateTime& end, double cutoff,
                                   const platform::DateTime& createdOn = platform::DateTime::now());

// What a reader takes from a REI wind file. Station, dates and cut-off
// are lines 21 to 24 as they stand (empty when the file is shorter).
struct ReiWindFileContents {
    ReiWindClimate climate;
    std::string station, startdate, enddate, cutoff;
    int lineCount = 0;  // lines the file holds, 0 to 29
};

// Reads a REI wind file of at most 29 lines. ReiWindFileError when it
// cannot be read, has more lines, or a line 4 to 19 holds no number;
// ReiWindValueError when a speed or percentage is impossible (negative,
// too large) or the percentages add up to clearly more than 100.
ReiWindFileContents readReiWindFile(const std::string& path);

// The folder of "temporary_wind.txt": the open project's folder, or the
// data folder's "Project" folder when no project is open (never the file
// system's root); empty when neither is known.
std::string temporaryWindFolder(const model::MainFormState& mainform, const model::ModelState& state);

}  // namespace quor::wind
