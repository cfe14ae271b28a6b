#pragma once
// The RWE wind reader: loads the project's ".Wind_RWE" sector summary and
// spreads its sectors over the run's ray directions, speeds by
// interpolation between neighbouring sectors and percentages by the
// angular share of each sector, so that every percent of the file lands
// on some ray.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "platform/feedback.h"
#include "wave/debug_files.h"

namespace quor::wave {

// The message shown for any wind file the reader cannot use.
inline constexpr const char* kWindFormatMessage =
    " Wind data file is not in right format. Please use file with right format.";

// Most lines a wind file may have.
inline constexpr int kWindFileMaxLines = 161;
// Most sectors a wind file may have.
inline constexpr int kWindFileMaxSectors = 59;

class WindFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that reads, but holds a speed or percentage no wind climate can
// have; the text names the line and what it holds.
class WindValueError : public WindFormatError {
public:
    using WindFormatError::WindFormatError;
};

// A wind file as read: header texts and the per-sector values.
struct RweWindFile {
    std::string station, startdate, enddate, cutoff;
    int16_t sectors = 0;
    std::vector<double> speeds;    // m/s, sector i centred on i * 360 / m degrees
    std::vector<double> percents;  // percent of the records per sector
};

// Parses the lines of a wind file. WindFormatError for more than 161
// lines, a sector count below 1, or a count, speed or percentage that is
// missing or not a number; WindValueError for a sector count above 59, an
// impossible speed or percentage, or percentages that add up to clearly
// more than 100. Every text names the line at fault.
RweWindFile parseRweWindFile(const std::vector<std::string>& lines);

// Speeds of the n ray directions (ray d at d * 360 / n degrees) from the
// m sectors: copied when m = n, otherwise interpolated linearly between
// the two sectors around each ray, the last sector towards the first.
std::vector<double> raySpeeds(const std::vector<double>& speeds, int n);

// Percentages of the n rays. m = n: copied. m > n: each sector counts
// wholly in the ray bin that holds its lower edge (an edge on a bin edge
// belongs to the upper bin), on the file's own sector grid. m < n: each
// sector is shared among the bins it overlaps in proportion to the angle
// they share. The total is kept in every case.
std::vector<double> rayPercents(const std::vector<double>& percents, int n);

class wave_wind_cls {
public:
    wave_wind_cls(model::ModelState& state, const model::MainFormState& mainform, model::WindSummary& winddata,
                  platform::Messages& messages, DebugFileReporter& debug)
        : s_(state), mf_(mainform), wind_(winddata), messages_(messages), debug_(debug) {}

    // Reads the wind file at windpath for `norays` rays into windarray and
    // durarray (entries from norays on are 0) and the holder's header
    // members. On any failure: err_wind = 1 and the format message with
    // the reason after it. With
    // debugging on and re-binned percentages, durarray goes to
    // "wind-dur.txt" (a failed debug write is reported, not a failure).
    void wavewind(int16_t norays);

private:
    model::ModelState& s_;
    const model::MainFormState& mf_;
    model::WindSummary& wind_;
    platform::Messages& messages_;
    DebugFileReporter& debug_;
};

}  // namespace quor::wave
