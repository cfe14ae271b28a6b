#pragma once
// The RWE analysis of a delimited wind text file: the records of a date
// window, the valid speeds, the strongest records down to a top percentage
// and their mean speed and count in 56 direction sectors.
//
// analyseWindText is the computation alone (inputs as arguments, results
// and counts returned; it only asks the two questions about a record that
// covers part of the window). wind_wv is the user's operation around it:
// messages, the shared results and the saved ".Wind_RWE" file.
#include <cstdint>
#include <functional>
#include <string>

#include "wind/rwe_wind_file.h"
#include "wind/wind_record.h"
#include "wind/wind_sectors.h"

namespace quor::wind {

// Messages of the analysis, as the user sees them.
namespace wind_text {
inline constexpr const char* kStartQuestion =
    "Start date is before the start date in the wind file. Do you want to proceed?";
inline constexpr const char* kEndQuestion = "End date is after the end date in the wind file. Do you want to proceed?";
inline constexpr const char* kNoDataForDates = " Wind file doesn't have data for the specified dates";
inline constexpr const char* kNotAvailable = " Wind data is not available between the specified dates";
inline constexpr const char* kTooFewTop =
    " No wind data to process, try increasing the top percentage of wind speed.";
inline constexpr const char* kProcessingError = "Error occurred while processing wind data file.";
inline constexpr const char* kDone = "Wind Analysis Done";
inline constexpr const char* kOrganizing = "Organizing Wind Data.....";
inline constexpr const char* kCleansing = "Cleansing Wind Data.....";
inline constexpr const char* kAnalyzing = "Analyzing Wind Data.....";
}  // namespace wind_text

// A whole hour of the calendar.
struct WindHour {
    int year = 0, month = 1, day = 1, hour = 0;
};

struct WindTextQuery {
    std::string path;           // the wind text file
    std::string station;        // label written into the wind file
    WindHour start, end;        // the window: start hour up to the end of the end hour
    int percent_wind = 100;     // top percentage of speeds kept, 0 to 100
    std::string delimiter = " ";  // " ", "\t" or ","; empty means " "
    WindColumns columns;        // minute -1 when the file has none
    int lineno = 1;             // row of the column names, from 1; records start two rows below
    bool buoyLayout = false;    // records from the buoy download (column switch from 2005 on)
};

enum class WindTextOutcome {
    Done,              // summary computed
    Cancelled,         // the user declined a date question
    NoDataForDates,    // the record lies wholly before or after the window
    NotAvailable,      // no record in the window
    TooFewTopRecords,  // fewer than two records at or above the cut-off
    Error              // unreadable file, no record, bad window or arguments
};

struct WindTextCounts {
    int32_t lines = 0;            // lines of the data block examined
    int32_t records = 0;          // lines that parsed as records
    int32_t shortLines = 0;       // too short or too few fields
    int32_t badDates = 0;         // date or time not readable
    int32_t windowRecords = 0;    // records in the window
    int32_t invalidRecords = 0;   // window records with a missing, empty or non-numeric speed or direction
    int32_t validSpeeds = 0;      // window records with 0 < speed < 70
    int32_t topRecords = 0;       // records that entered the sectors
};

struct WindTextResult {
    WindTextOutcome outcome = WindTextOutcome::Error;
    std::string error;            // what went wrong, for Error
    int64_t startMinutes = 0;     // the window, in windMinutes (wind_record.h)
    int64_t endMinutes = 0;       // the end hour's start
    double cutspeed = 0;          // m/s; 0 for 100 %
    SectorSummary sectors;        // filled when Done
    WindTextCounts counts;
};

// Asked when the record covers only part of the window; true = go on.
using WindConfirm = std::function<bool(const std::string& question)>;

// Stage texts ("Organizing...", "Cleansing...", "Analyzing...") as the work goes on.
using WindStatus = std::function<void(const std::string& stage)>;

// Reads and analyses the file; never throws.
WindTextResult analyseWindText(const WindTextQuery& query, const WindConfirm& confirm,
                               const WindStatus& status = {});

// The closing text: "Wind Analysis Done", followed by the skipped-line
// counts when any line or record was skipped.
std::string closingMessage(const WindTextCounts& counts);

struct WindAnalysisContext : WindFileContext {
    std::function<void(const std::string&)> status = {};  // the dialog's stage text
};

// The user's operation: sets the shared window and station, runs the
// analysis, shows its messages, stores the sector results in the model
// state and saves them with save_windfile.
WindTextResult wind_wv(WindAnalysisContext& ctx, const WindTextQuery& query);

}  // namespace quor::wind
