#include "wind/buoy_download.h"

#include "platform/folders.h"
#include "wind/wind_datetime.h"

namespace quor::wind {

namespace {

const char* kProcessingError = "Error occured while processing";

std::string quotedCopy(const std::string& text) { return "\"" + text + "\"\r\n"; }

}  // namespace

std::string appendBuoyYearLines(std::string merged, const std::string& laterCopy) {
    size_t pos = 0;
    int lineNo = 0;
    while (pos < laterCopy.size()) {
        size_t end = laterCopy.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = laterCopy.size();
        const std::string_view line(laterCopy.data() + pos, end - pos);
        ++lineNo;
        if (lineNo > 2) {
            if (line.empty()) break;  // the records end at the first empty line
            merged.append(line);
            merged += "\r\n";
        }
        if (end >= laterCopy.size()) break;
        pos = end + ((laterCopy[end] == '\r' && end + 1 < laterCopy.size() && laterCopy[end + 1] == '\n') ? 2 : 1);
    }
    return merged;
}

WindTextCall buoyTextCall(const std::string& mergedPath, const BuoyWindRequest& rq) {
    WindTextCall c;
    c.wind_textfile = mergedPath;
    c.station_nam = rq.stationEntry;
    c.startyr = rq.startYear;
    c.endyr = rq.endYear;
    c.startm = rq.startMonth;
    c.endm = rq.endMonth;
    c.startd = rq.startDay;
    c.endd = rq.endDay;
    c.starth = rq.startHour;
    c.endh = rq.endHour;
    c.percent_wind = rq.topPercent;
    c.delimiter.assign(1, ' ');
    c.yearno = 0;
    c.monthno = 1;
    c.dayno = 2;
    c.hourno = 3;
    c.minuteno = -1;
    c.windspdno = 5;
    c.winddirno = 4;
    c.lineno = 1;
    return c;
}

WindRunOutcome download_buoywind(BuoyDownloadContext& ctx, const BuoyWindRequest& rq) {
    model::ModelState& s = ctx.state;
    startBuoyAnalysis(s, ctx.hooks, rq);
    auto fail = [&] {
        ctx.hooks.busyOff();
        ctx.messages.message(kProcessingError, platform::MessageIcon::Critical);
        return WindRunOutcome::Reported;
    };
    auto start = windDateTime(rq.startYear, rq.startMonth, rq.startDay, rq.startHour);
    auto end = windDateTime(rq.endYear, rq.endMonth, rq.endDay, rq.endHour);
    if (!start || !end) return fail();
    s.wind_start = *start;
    s.wind_end = *end;
    if (!ctx.analyse || rq.startYear > rq.endYear) return fail();

    const std::string firstPath = platform::joinPath(s.app_folder, std::to_string(rq.startYear) + ".txt");
    try {
        // Each year's copy is complete or absent; the first year's file
        // becomes the merged file only once every year has arrived.
        std::string merged;
        for (int year = rq.startYear; year <= rq.endYear; ++year) {
            YearDownload dl = downloadBuoyYear(ctx.fetcher, ctx.serverAddress, rq.stationId, year);
            if (!dl.ok) return fail();
            const std::string copy = quotedCopy(dl.text);
            writeFileReplacing(platform::joinPath(s.app_folder, std::to_string(year) + ".txt"), copy);
            merged = year == rq.startYear ? copy : appendBuoyYearLines(std::move(merged), copy);
        }
        if (rq.endYear > rq.startYear) writeFileReplacing(firstPath, merged);
    } catch (const std::exception&) {
        return fail();
    }
    ctx.analyse(buoyTextCall(firstPath, rq));
    return WindRunOutcome::Done;
}

}  // namespace quor::wind
