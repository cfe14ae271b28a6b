#pragma once
// Batch wind cutting: one long wind record cut into a series of short,
// overlapping windows, each analysed like the RWE wind text analysis and
// written as its own ".Wind_RWE" file for the batch runs of the wave model.
#include <string>
#include <vector>

#include "wind/rwe_wind_file.h"
#include "wind/wind_text_analysis.h"

namespace quor::wind {

struct BatchWindRequest {
    std::string input;         // the wind text file (comma separated, no units row)
    std::string outputFolder;  // where the files go
    std::string station = "CSTGD";
    WindHour firstStart{2010, 1, 15, 17};
    WindHour runEnd{2010, 1, 19, 16};  // the run's steps are (runEnd - firstStart) / step
    int windowHours = 5;
    int stepHours = 1;
    int percent_wind = 100;
    std::string delimiter = ",";
    WindColumns columns{0, 1, 2, 3, 4, 6, 5};
    int lineno = 1;  // row of the column names; records start on the next row
};

// The fixed run of the wind menu's batch command: "wind_cstgd201.txt" in the
// data folder, station "CSTGD", 5-hour windows from 15 January 2010 17:00
// stepped hourly to 19 January 2010 16:00, written to the data folder's
// "Project/Batch_Process_Wind_Data".
BatchWindRequest fixedBatchRequest(const std::string& app_folder);

// folder/STATION_yy_yy_mm_mm_dd_dd_hh_hh (without the extension).
std::string batchWindName(const std::string& folder, const std::string& station, const WindHour& start,
                          const WindHour& end);

struct BatchWindStep {
    enum class Result { Written, NoDataForDates, TooFewRecords, Failed };
    WindHour start, end;
    Result result = Result::Failed;
    std::string file;    // the written file
    std::string detail;  // why it failed
};

struct BatchWindSummary {
    std::string error;  // the record could not be read at all
    std::vector<BatchWindStep> steps;
    int32_t shortLines = 0, badDates = 0, invalidRecords = 0;
    int written() const;
};

// Cuts the record into the request's windows. The file is read once; each
// file is written through a temporary file and renamed; nothing is asked
// during the loop, and one summary message closes the run.
BatchWindSummary batch_wind_process(WindFileContext& ctx, const BatchWindRequest& request);
// The wind menu's fixed run over the data folder (fixedBatchRequest).
BatchWindSummary batch_wind_process(WindFileContext& ctx);

// The closing summary shown to the user.
std::string batchSummaryMessage(const BatchWindSummary& summary, const std::string& folder);

}  // namespace quor::wind
