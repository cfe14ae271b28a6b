#include "wind/wind_text_analysis.h"

#include <cmath>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "model/wind_values.h"

namespace quor::wind {

namespace {

bool columnOk(int c) { return c >= 0 && c <= kMaxColumn; }

std::string checkQuery(const WindTextQuery& q) {
    const WindColumns& c = q.columns;
    if (!columnOk(c.year) || !columnOk(c.month) || !columnOk(c.day) || !columnOk(c.hour) || !columnOk(c.speed) ||
        !columnOk(c.direction) || !(c.minute == -1 || columnOk(c.minute)))
        return "a column position is missing or beyond " + std::to_string(kMaxColumn);
    if (q.percent_wind < 0 || q.percent_wind > 100) return "the top percentage is not between 0 and 100";
    if (q.lineno < 1) return "the row of the column names is below 1";
    return {};
}

WindTextResult& failed(WindTextResult& r, std::string why) {
    r.outcome = WindTextOutcome::Error;
    r.error = std::move(why);
    return r;
}

bool proceeds(const WindConfirm& confirm, const char* question) { return !confirm || confirm(question); }

// The data block: from two rows below the column names (the row between
// holds the units) up to the first empty line or the end of the file.
std::vector<WindRecord> dataBlock(const std::string& text, const WindTextQuery& q, WindTextCounts& counts) {
    std::vector<WindRecord> records;
    records.reserve(text.size() / 40 + 16);
    WindRecordParser parser(q.delimiter, q.columns, q.buoyLayout);
    LineCursor cursor(text);
    std::string_view line;
    for (int skipped = 0; skipped <= q.lineno && cursor.next(line); ++skipped) {
    }
    WindRecord rec;
    while (cursor.next(line) && !line.empty()) {
        ++counts.lines;
        switch (parser.parse(line, rec)) {
            case LineVerdict::Record: records.push_back(rec); break;
            case LineVerdict::Short: ++counts.shortLines; break;
            case LineVerdict::BadDate: ++counts.badDates; break;
        }
    }
    counts.records = static_cast<int32_t>(records.size());
    return records;
}

// Where the record lies against the window: nothing when the analysis
// goes on. A record that begins or ends inside the window goes on when
// the user says so.
std::optional<WindTextOutcome> recordAgainstWindow(const std::vector<WindRecord>& records, int64_t start,
                                                   int64_t end, const WindConfirm& confirm) {
    const int64_t fileStart = midnightOf(records.front().minutes);
    if (fileStart > start && fileStart < end) {
        if (!proceeds(confirm, wind_text::kStartQuestion)) return WindTextOutcome::Cancelled;
    } else if (fileStart > end) {
        return WindTextOutcome::NoDataForDates;
    }
    const int64_t last = records.back().minutes;
    if (last < start) return WindTextOutcome::NoDataForDates;
    if (last < end - 1440 && last > start && !proceeds(confirm, wind_text::kEndQuestion))
        return WindTextOutcome::Cancelled;
    return std::nullopt;
}

// The speeds and directions of the window, whose end hour is included.
struct WindowValues {
    long length = 0;  // records in the window
    std::vector<double> speed, direction;
};

WindowValues windowValues(const std::vector<WindRecord>& records, int64_t start, int64_t end,
                          WindTextCounts& counts) {
    const size_t n = records.size();
    size_t i0 = 0;
    while (i0 < n && records[i0].minutes < start) ++i0;
    size_t i1 = i0;
    while (i1 < n && records[i1].minutes < end + 60) ++i1;
    WindowValues w;
    w.length = static_cast<long>(i1 - i0);
    counts.windowRecords = static_cast<int32_t>(w.length);
    if (w.length <= 0) return w;
    // Rejected records stay in the lists as zeros, and so does one entry
    // past the window: the sort runs over all of them, which fixes the
    // order of equal speeds.
    w.speed.assign(static_cast<size_t>(w.length) + 1, 0.0);
    w.direction.assign(static_cast<size_t>(w.length) + 1, 0.0);
    for (size_t i = i0; i < i1; ++i) {
        const WindRecord& r = records[i];
        const bool valid = !std::isnan(r.speed) && r.speed < 99 && model::windDirection(r.direction).has_value();
        if (!valid) {
            ++counts.invalidRecords;
            continue;
        }
        w.speed[i - i0] = r.speed;
        w.direction[i - i0] = r.direction;
    }
    return w;
}

}  // namespace

WindTextResult analyseWindText(const WindTextQuery& q, const WindConfirm& confirm, const WindStatus& status) {
    WindTextResult r;
    auto stage = [&](const char* text) {
        if (status) status(text);
    };
    const auto start = windMinutes(q.start.year, q.start.month, q.start.day, q.start.hour);
    const auto end = windMinutes(q.end.year, q.end.month, q.end.day, q.end.hour);
    if (!start || !end) return failed(r, "the start or end of the window is not a date and hour of the calendar");
    r.startMinutes = *start;
    r.endMinutes = *end;
    if (auto bad = checkQuery(q); !bad.empty()) return failed(r, bad);

    std::string text;
    try {
        text = readWholeFile(q.path);
    } catch (const std::exception& e) {
        return failed(r, e.what());
    }
    std::vector<WindRecord> records = dataBlock(text, q, r.counts);
    if (records.empty()) return failed(r, "no line of the file holds a wind record with the chosen columns");
    if (const auto outcome = recordAgainstWindow(records, *start, *end, confirm)) {
        r.outcome = *outcome;
        return r;
    }

    stage(wind_text::kCleansing);
    WindowValues window = windowValues(records, *start, *end, r.counts);
    if (window.length <= 0) {
        r.outcome = WindTextOutcome::NotAvailable;
        return r;
    }
    std::vector<WindRecord>().swap(records);
    std::string().swap(text);

    TopSelection top = selectTop(window.speed, window.direction, window.length, q.percent_wind);
    stage(wind_text::kAnalyzing);
    r.counts.validSpeeds = top.validCount;
    r.cutspeed = top.cutspeed;
    if (!top.enough) {
        r.outcome = WindTextOutcome::TooFewTopRecords;
        return r;
    }
    r.counts.topRecords = static_cast<int32_t>(top.speed.size());
    r.sectors = sectorSummary(std::move(top.direction), std::move(top.speed));
    r.outcome = WindTextOutcome::Done;
    return r;
}

std::string closingMessage(const WindTextCounts& c) {
    std::string text = wind_text::kDone;
    if (c.shortLines == 0 && c.badDates == 0 && c.invalidRecords == 0) return text;
    text += "\n\nSkipped: " + std::to_string(c.shortLines) + " short line(s), " + std::to_string(c.badDates) +
            " line(s) with an unreadable date or time, " + std::to_string(c.invalidRecords) +
            " record(s) in the window with a missing or invalid speed or direction.";
    return text;
}

WindTextResult wind_wv(WindAnalysisContext& ctx, const WindTextQuery& q) {
    model::ModelState& s = ctx.state;
    if (ctx.status) ctx.status(wind_text::kOrganizing);
    s.wind_source = q.station;
    s.wind_startyear = static_cast<int16_t>(q.start.year);
    s.wind_endyear = static_cast<int16_t>(q.end.year);
    s.wind_reccount = 0;
    if (auto t = windMinutes(q.start.year, q.start.month, q.start.day, q.start.hour))
        s.wind_start = minutesToDays(*t);
    if (auto t = windMinutes(q.end.year, q.end.month, q.end.day, q.end.hour))
        s.wind_end = minutesToDays(*t);

    WindConfirm confirm = [&](const std::string& question) { return ctx.messages.question(question); };
    WindTextResult r = analyseWindText(q, confirm, ctx.status);
    using platform::MessageIcon;
    switch (r.outcome) {
        case WindTextOutcome::Error:
            ctx.messages.message(std::string(wind_text::kProcessingError) + "\n" + r.error, MessageIcon::Critical);
            return r;
        case WindTextOutcome::Cancelled: break;
        case WindTextOutcome::NoDataForDates:
            ctx.messages.message(wind_text::kNoDataForDates, MessageIcon::Critical);
            break;
        case WindTextOutcome::NotAvailable:
            ctx.messages.message(wind_text::kNotAvailable, MessageIcon::Information);
            break;
        case WindTextOutcome::TooFewTopRecords:
            s.wind_cutspeed = r.cutspeed;
            ctx.messages.message(wind_text::kTooFewTop, MessageIcon::Information);
            break;
        case WindTextOutcome::Done:
            s.wind_cutspeed = r.cutspeed;
            putSectors(s, r.sectors);
            save_windfile(ctx, r.counts.topRecords, kRweSectors);
            break;
    }
    ctx.messages.message(closingMessage(r.counts));
    return r;
}

}  // namespace quor::wind
