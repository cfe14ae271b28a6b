#include "wind/batch_wind.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "model/wind_values.h"
#include "platform/folders.h"

namespace quor::wind {

namespace {

WindHour hourOf(int64_t minutes) {
    const platform::DateTime p = minutesToDateTime(minutes);
    return {p.year, p.month, p.day, p.hour};
}

std::string lastTwo(int year) {
    const std::string t = std::to_string(year);
    return t.size() >= 2 ? t.substr(t.size() - 2) : t;
}

std::string twoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

struct ParsedRecord {
    std::vector<WindRecord> records;
    int32_t shortLines = 0, badDates = 0;
};

ParsedRecord parseBatchRecord(const BatchWindRequest& req) {
    ParsedRecord out;
    const std::string text = readWholeFile(req.input);
    WindRecordParser parser(req.delimiter, req.columns, false);
    LineCursor cursor(text);
    std::string_view line;
    for (int skipped = 0; skipped < req.lineno && cursor.next(line); ++skipped) {
    }
    WindRecord rec;
    while (cursor.next(line) && !line.empty()) {
        switch (parser.parse(line, rec)) {
            case LineVerdict::Record: out.records.push_back(rec); break;
            case LineVerdict::Short: ++out.shortLines; break;
            case LineVerdict::BadDate: ++out.badDates; break;
        }
    }
    return out;
}

}  // namespace

BatchWindRequest fixedBatchRequest(const std::string& app_folder) {
    BatchWindRequest r;
    r.input = platform::joinPath(app_folder, "wind_cstgd201.txt");
    r.outputFolder = platform::joinPath(platform::joinPath(app_folder, "Project"), "Batch_Process_Wind_Data");
    return r;
}

std::string batchWindName(const std::string& folder, const std::string& station, const WindHour& a,
                          const WindHour& b) {
    return platform::joinPath(folder, station + "_" + lastTwo(a.year) + "_" + lastTwo(b.year) + "_" +
                                          twoDigits(a.month) + "_" + twoDigits(b.month) + "_" + twoDigits(a.day) +
                                          "_" + twoDigits(b.day) + "_" + twoDigits(a.hour) + "_" + twoDigits(b.hour));
}

int BatchWindSummary::written() const {
    int n = 0;
    for (const auto& s : steps) n += s.result == BatchWindStep::Result::Written;
    return n;
}

namespace {

// The speeds and directions of the records from i0 up to i1. A missing
// speed code falls out through the speed range; a missing or impossible
// direction is dropped here, as in the other analyses, never counted as a
// north wind.
void windowValues(const std::vector<WindRecord>& recs, size_t i0, size_t i1, std::vector<double>& speed,
                  std::vector<double>& direction, int32_t& invalid) {
    for (size_t i = i0; i < i1; ++i) {
        if (std::isnan(recs[i].speed) || !model::windDirection(recs[i].direction)) {
            ++invalid;
            continue;
        }
        speed[i - i0] = recs[i].speed;
        direction[i - i0] = recs[i].direction;
    }
}

// The window of the run's step that begins at `start`, into its wind file.
BatchWindStep cutWindow(WindFileContext& ctx, const BatchWindRequest& req, const std::vector<WindRecord>& recs,
                        int64_t start, BatchWindSummary& summary) {
    model::ModelState& s = ctx.state;
    const int64_t end = start + 60 * req.windowHours;
    BatchWindStep st;
    st.start = hourOf(start);
    st.end = hourOf(end);
    s.wind_start = minutesToDays(start);
    // The cut holds the end one hour on: the requested end hour is included.
    s.wind_end = minutesToDays(end + 60);
    s.batch_windname = batchWindName(req.outputFolder, req.station, st.start, st.end);

    // The record's edges: a record wholly after the window or wholly
    // before it has nothing to cut; one that covers part of it is cut
    // as far as it goes.
    if (midnightOf(recs.front().minutes) > end || recs.back().minutes < start) {
        st.result = BatchWindStep::Result::NoDataForDates;
        return st;
    }
    size_t i0 = 0;
    while (i0 < recs.size() && recs[i0].minutes < start) ++i0;
    size_t i1 = i0;
    while (i1 < recs.size() && recs[i1].minutes < end + 60) ++i1;
    const long last = static_cast<long>(i1) - static_cast<long>(i0) - 1;
    if (last <= 0) {
        st.result = BatchWindStep::Result::TooFewRecords;
        return st;
    }
    std::vector<double> speed(static_cast<size_t>(last) + 1, 0.0), direction(static_cast<size_t>(last) + 1, 0.0);
    windowValues(recs, i0, i1, speed, direction, summary.invalidRecords);
    TopSelection top = selectTop(speed, direction, last, req.percent_wind);
    s.wind_cutspeed = top.cutspeed;
    if (!top.enough) {
        st.result = BatchWindStep::Result::TooFewRecords;
        return st;
    }
    const auto total = static_cast<int32_t>(top.speed.size());
    putSectors(s, sectorSummary(std::move(top.direction), std::move(top.speed)));
    const std::string failure = windbatch_ok_wv(ctx, total, kRweSectors, s.batch_windname);
    if (failure.empty()) {
        st.result = BatchWindStep::Result::Written;
        st.file = s.batch_windname + kRweExtension;
    } else {
        st.result = BatchWindStep::Result::Failed;
        st.detail = failure;
    }
    return st;
}

BatchWindSummary cutWindows(WindFileContext& ctx, const BatchWindRequest& req) {
    BatchWindSummary summary;
    model::ModelState& s = ctx.state;
    const auto first = windMinutes(req.firstStart.year, req.firstStart.month, req.firstStart.day, req.firstStart.hour);
    const auto runEnd = windMinutes(req.runEnd.year, req.runEnd.month, req.runEnd.day, req.runEnd.hour);
    if (!first || !runEnd || req.windowHours <= 0 || req.stepHours <= 0 || req.percent_wind < 0 ||
        req.percent_wind > 100 || req.lineno < 1) {
        summary.error = "the batch window settings are not valid";
        return summary;
    }
    s.wind_source = req.station;
    s.wind_startyear = static_cast<int16_t>(req.firstStart.year);
    s.wind_endyear = static_cast<int16_t>(req.runEnd.year);
    s.wind_reccount = 0;

    ParsedRecord parsed;
    try {
        parsed = parseBatchRecord(req);
        std::error_code ec;
        std::filesystem::create_directories(req.outputFolder, ec);
    } catch (const std::exception& e) {
        summary.error = e.what();
        return summary;
    }
    summary.shortLines = parsed.shortLines;
    summary.badDates = parsed.badDates;
    if (parsed.records.empty()) {
        summary.error = "no line of the file holds a wind record with the batch columns";
        return summary;
    }

    const int64_t steps = (*runEnd - *first) / (60 * req.stepHours);
    int64_t start = *first;
    for (int64_t step = 0; step < steps; ++step, start += 60 * req.stepHours)
        summary.steps.push_back(cutWindow(ctx, req, parsed.records, start, summary));
    s.wind_start = minutesToDays(start);
    return summary;
}

}  // namespace

BatchWindSummary batch_wind_process(WindFileContext& ctx, const BatchWindRequest& request) {
    BatchWindSummary summary = cutWindows(ctx, request);
    ctx.messages.message(batchSummaryMessage(summary, request.outputFolder),
                         summary.error.empty() ? platform::MessageIcon::Information
                                               : platform::MessageIcon::Critical);
    return summary;
}

BatchWindSummary batch_wind_process(WindFileContext& ctx) {
    return batch_wind_process(ctx, fixedBatchRequest(ctx.state.app_folder));
}

std::string batchSummaryMessage(const BatchWindSummary& summary, const std::string& folder) {
    if (!summary.error.empty())
        return std::string(wind_text::kProcessingError) + "\n" + summary.error;
    int noData = 0, tooFew = 0, failed = 0;
    std::string firstFailure;
    for (const auto& st : summary.steps) {
        if (st.result == BatchWindStep::Result::NoDataForDates) ++noData;
        if (st.result == BatchWindStep::Result::TooFewRecords) ++tooFew;
        if (st.result == BatchWindStep::Result::Failed) {
            if (firstFailure.empty()) firstFailure = st.detail;
            ++failed;
        }
    }
    std::string text = "Batch wind processing done: " + std::to_string(summary.written()) + " of " +
                       std::to_string(summary.steps.size()) + " wind files written to " + folder + ".";
    if (noData) text += "\n" + std::to_string(noData) + " window(s) lie outside the wind file's dates.";
    if (tooFew) text += "\n" + std::to_string(tooFew) + " window(s) hold fewer than two usable records.";
    if (failed) text += "\n" + std::to_string(failed) + " file(s) could not be written: " + firstFailure;
    if (summary.shortLines || summary.badDates || summary.invalidRecords)
        text += "\nSkipped: " + std::to_string(summary.shortLines) + " short line(s), " +
                std::to_string(summary.badDates) + " line(s) with an unreadable date or time, " +
                std::to_string(summary.invalidRecords) +
                " record(s) with a speed that is no number or a missing or impossible direction.";
    return text;
}

}  // namespace quor::wind
