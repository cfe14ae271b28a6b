#pragma once
// One year of a buoy station's standard-meteorological records: the
// request that fetches it, the check that an answer really is such a
// record, the copy saved on disk and the records read from it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/http.h"

namespace quor::wind {

// A station identifier is five letters or digits ("clkn7").
bool validStationId(std::string_view id);

// The request's path and query after the server's address, for example
// "/view_text_file.php?filename=clkn7h2004.txt.gz&dir=data/historical/stdmet/".
std::string buoyYearPath(std::string_view stationId, int year);

// The whole URL; an address without a scheme is taken as plain http.
std::string buoyYearUrl(std::string_view serverAddress, std::string_view stationId, int year);

// True when the text has the yearly record's layout: a header line whose
// first name is a year ("YY", "YYYY", "#YY"), a second header line, and a
// data line of numbers with at least the fields of the year's layout.
// Error pages (HTML or plain) are refused.
bool looksLikeBuoyYear(std::string_view text, int year);

// Years from 2005 carry a minute field before the direction.
inline bool yearHasMinuteField(int year) { return year >= 2005; }

// One record as the analyses use it. A field that is missing or not a
// number leaves its `has` flag false.
struct BuoyRecord {
    double time = 0;  // days since 30 Dec 1899; hour:00, minutes dropped
    double direction = 0;
    double speed = 0;
    bool hasTime = false;
    bool hasDirection = false;
    bool hasSpeed = false;
};

struct BuoyYear {
    std::vector<BuoyRecord> records;
    // Lines counted as data rows: every line after the two headers up to
    // the first empty line, whether or not it could be read.
    int32_t dataRows = 0;
};

// Reads the records of one year's text by the layout of `year`.
BuoyYear parseBuoyYear(std::string_view text, int year);

// The saved copy: the answer as one quoted item followed by CR LF,
// written to a temporary file and renamed, so a failure never leaves an
// empty or partial file. A scratch copy in a private folder that goes away
// with the analysis skips that care (and the disk flush it costs).
// Throws platform::FileError.
void saveBuoyYearCopy(const std::string& path, std::string_view text, bool scratch = false);

// Writes bytes through a temporary file and a rename. Throws platform::FileError.
void writeFileReplacing(const std::string& path, std::string_view bytes);

// The transfer of one year's text; the dialog runs it on a worker thread.
class YearFetcher {
public:
    virtual ~YearFetcher() = default;
    virtual platform::HttpResult fetch(const std::string& url) = 0;
};

class HttpYearFetcher final : public YearFetcher {
public:
    explicit HttpYearFetcher(platform::HttpOptions options = {}) : options_(options) {}
    platform::HttpResult fetch(const std::string& url) override { return platform::httpGet(url, options_); }

private:
    platform::HttpOptions options_;
};

// Fetches one year and checks its layout. On success `text` holds the answer.
struct YearDownload {
    bool ok = false;
    // The transfer itself broke off (no connection, timeout, cut short),
    // as opposed to an answer that holds no yearly record.
    bool transferFailed = false;
    std::string text;
    std::string error;
};
YearDownload downloadBuoyYear(YearFetcher& fetcher, std::string_view serverAddress, std::string_view stationId,
                              int year);

}  // namespace quor::wind
