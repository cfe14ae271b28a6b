#include "wind/rei_wind_analysis.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <memory>

#include "model/wind_classes.h"
#include "model/wind_values.h"
#include "platform/date_text.h"
#include "platform/folders.h"
#include "platform/numbers.h"
#include "platform/textfile.h"
#include "wind/rei_wind_file.h"
#include "wind/wind_datetime.h"

namespace quor::wind {

namespace {

const char* kNoWebsite = "No website found with the specified parameters";
const char* kNoData = " Wind data is not available between the specified dates";
// Speeds above this are the records' marks for missing or invalid readings.
constexpr double kMaxSpeed = 49.0;

}  // namespace

std::optional<int> compassClass(double direction) {
    const auto code = model::windDirection(direction);
    if (!code) return std::nullopt;
    const double d = *code;
    if (d > 336.0 || d <= 21.0) return 6;  // N
    if (d > 291.0) return 5;               // NW
    if (d > 246.0) return 4;               // W
    if (d > 201.0) return 3;               // SW
    if (d > 156.0) return 2;               // S
    if (d > 111.0) return 1;               // SE
    if (d > 66.0) return 0;                // E
    return 7;                              // NE
}

double percentileInclusive(std::vector<double>& values, double p) {
    std::sort(values.begin(), values.end());
    const double h = p * static_cast<double>(values.size() - 1);
    const size_t lo = static_cast<size_t>(std::floor(h));
    if (lo + 1 >= values.size()) return values.back();
    return values[lo] + (h - static_cast<double>(lo)) * (values[lo + 1] - values[lo]);
}

RecordSpan windowSpan(const std::vector<BuoyRecord>& records, double start, double end) {
    const size_t n = records.size();
    size_t i0 = 0;
    while (i0 < n && records[i0].time < start) ++i0;
    if (i0 == n || records[i0].time >= end) return {i0, i0};
    size_t i1 = i0;
    while (i1 < n && records[i1].time < end) ++i1;
    return {i0, i1 < n ? i1 + 1 : n};
}

std::optional<ReiWindStats> analyseReiRecords(const std::vector<BuoyRecord>& records, double start, double end,
                                              int topPercent) {
    const RecordSpan span = windowSpan(records, start, end);
    ReiWindStats st;
    st.windowRecords = static_cast<int32_t>(span.size());

    struct Usable {
        double speed;
        int cls;
    };
    std::vector<Usable> usable;
    usable.reserve(span.size());
    for (size_t i = span.begin; i < span.end; ++i) {
        const BuoyRecord& r = records[i];
        if (!r.hasSpeed || !r.hasDirection || r.speed > kMaxSpeed || r.speed < 0.0) continue;
        auto cls = compassClass(r.direction);
        if (!cls) continue;
        usable.push_back({r.speed, *cls});
    }
    if (usable.empty()) return std::nullopt;
    st.usableRecords = static_cast<int32_t>(usable.size());

    std::vector<double> speeds;
    speeds.reserve(usable.size());
    for (const auto& u : usable) speeds.push_back(u.speed);
    st.cutSpeed = percentileInclusive(speeds, 1.0 - topPercent / 100.0);

    std::array<double, 8> sum{};
    std::array<int32_t, 8> count{};
    for (const auto& u : usable) {
        if (u.speed < st.cutSpeed) continue;
        sum[u.cls] += u.speed;
        ++count[u.cls];
    }
    for (size_t k = 0; k < 8; ++k) {
        st.count[k] = static_cast<float>(count[k]);
        st.meanSpeed[k] = count[k] > 0 ? static_cast<float>(sum[k] / count[k]) : 0.0f;
        st.total += count[k];
    }
    return st;
}

namespace {

ReiClassValues classValuesFromState(const model::ModelState& s, int32_t total) {
    std::array<float, 8> mean{}, count{};
    for (int k = 0; k < 8; ++k) {
        mean[k] = s.wind_dirspeed(k);
        count[k] = s.wind_dircount(k);
    }
    return roundReiClasses(mean, count, total);
}

std::string withReiExtension(const std::string& path) {
    QFileInfo info(QString::fromStdString(path));
    if (info.suffix().compare(QStringLiteral("Wind_REI"), Qt::CaseInsensitive) == 0) return path;
    return path + ".Wind_REI";
}

}  // namespace

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

void save_windrei(ReiAnalysisContext& ctx, int32_t total) {
    model::ModelState& s = ctx.state;
    const ReiClassValues values = classValuesFromState(s, total);
    ReiWindClimate climate;
    for (int k = 0; k < 8; ++k) {
        model::setWindSpeed(ctx.holder, k, values.speed[k]);
        model::setWindPercent(ctx.holder, k, values.percent[k]);
        climate.speed[k] = values.speed[k];
        climate.percent[k] = values.percent[k];
    }
    const auto start = platform::DateTime::fromSerialDays(s.wind_start);
    const auto end = platform::DateTime::fromSerialDays(s.wind_end);

    auto finishHolder = [&](const std::string& file) {
        ctx.holder.wind_station = s.wind_source;
        ctx.holder.wind_startdate = platform::formatDateTime(start);
        ctx.holder.wind_enddate = platform::formatDateTime(end);
        ctx.holder.wind_cutoff = platform::formatSignificant(s.wind_cutspeed);
        ctx.holder.wind_file = file;
        if (ctx.showSummary) ctx.showSummary();
    };

    ctx.messages.message("Please save wind data in text file", platform::MessageIcon::Information);
    std::string failure;
    for (;;) {
        auto chosen = ctx.chooser.chooseSavePath("Save wind data in text file", "Wind data(*.Wind_REI)|*.Wind_REI",
                                                 s.app_folder + "/Project");
        if (!chosen || chosen->empty()) break;
        const std::string path = withReiExtension(*chosen);
        if (QFileInfo::exists(QString::fromStdString(path)) &&
            !ctx.messages.question("File already exist, do you want to replace it?"))
            continue;
        try {
            writeReiWindAnalysis(path, climate, s.wind_source, start, end, s.wind_cutspeed);
            finishHolder(path);
            return;
        } catch (const std::exception& e) {
            failure = e.what();
            break;
        }
    }

    // Cancelled or failed: keep the results in the temporary file. A
    // failure here goes back to the caller.
    const std::string folder = temporaryWindFolder(ctx.form, s);
    if (folder.empty()) throw platform::FileError("No folder for " + std::string(kTemporaryWindFile));
    const std::string tempPath = platform::joinPath(folder, kTemporaryWindFile);
    writeReiWindAnalysisTemporary(tempPath, climate, s.wind_source, start, end, s.wind_cutspeed);
    if (!failure.empty())
        ctx.messages.message(failure + "\nThe wind data were saved in " + tempPath,
                             platform::MessageIcon::Exclamation);
    finishHolder("temporary");
}

WindRunOutcome windanalysis_rei(ReiAnalysisContext& ctx, const BuoyWindRequest& rq) {
    model::ModelState& s = ctx.state;
    startBuoyAnalysis(s, ctx.hooks, rq);
    auto start = windDateTime(rq.startYear, rq.startMonth, rq.startDay, rq.startHour);
    auto end = windDateTime(rq.endYear, rq.endMonth, rq.endDay, rq.endHour);
    if (!start || !end || !validStationId(rq.stationId)) return WindRunOutcome::Failed;
    s.wind_start = *start;
    s.wind_end = *end;

    // The years live in a private folder that goes away however the analysis ends.
    std::unique_ptr<QTemporaryDir> tempDir;
    std::string folder = ctx.workFolder;
    if (folder.empty()) {
        tempDir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quor-buoy-XXXXXX"));
        if (!tempDir->isValid()) return WindRunOutcome::Failed;
        folder = tempDir->path().toStdString();
    }

    auto stop = [&](const char* text, platform::MessageIcon icon) {
        ctx.hooks.busyOff();
        ctx.messages.message(text, icon);
        return WindRunOutcome::Reported;
    };

    std::vector<BuoyRecord> merged;
    double rows = 0;
    for (int year = rq.startYear; year <= rq.endYear; ++year) {
        YearDownload dl = downloadBuoyYear(ctx.fetcher, ctx.serverAddress, rq.stationId, year);
        // A broken transfer is the dialog's failure; an answer without
        // records means the station or year is not on the server.
        if (!dl.ok && dl.transferFailed) return WindRunOutcome::Failed;
        if (!dl.ok) return stop(kNoWebsite, platform::MessageIcon::Critical);
        const std::string copy = platform::joinPath(folder, std::to_string(year) + ".txt");
        try {
            saveBuoyYearCopy(copy, dl.text, /*scratch=*/true);
        } catch (const std::exception&) {
            return WindRunOutcome::Failed;
        }
        BuoyYear parsed = parseBuoyYear(dl.text, year);
        QFile::remove(QString::fromStdString(copy));
        rows += parsed.dataRows;
        s.wind_reccount = rows;
        if (parsed.dataRows < 3) return stop(kNoWebsite, platform::MessageIcon::Critical);
        for (const auto& r : parsed.records)
            if (r.hasTime) merged.push_back(r);
    }
    ctx.hooks.setStatus("Organizing Wind Data.....");

    ctx.hooks.setStatus("Cleansing Wind Data.....");
    auto stats = analyseReiRecords(merged, s.wind_start, s.wind_end, rq.topPercent);
    s.wind_reccount = stats ? stats->windowRecords : 0;
    if (!stats) return stop(kNoData, platform::MessageIcon::Information);
    s.wind_cutspeed = stats->cutSpeed;

    ctx.hooks.setStatus("Analyzing Wind Data.....");
    for (int k = 0; k < 8; ++k) {
        s.wind_dirspeed(k) = stats->meanSpeed[k];
        s.wind_dircount(k) = stats->count[k];
    }
    ctx.hooks.busyOff();
    ctx.hooks.setStatus("");
    if (ctx.hooks.closeDialog) ctx.hooks.closeDialog();
    save_windrei(ctx, stats->total);

    ctx.messages.message("Cut off wind speed is " + platform::formatSignificant(s.wind_cutspeed) + "m/s",
                         platform::MessageIcon::Information);
    ctx.messages.message("Wind Analysis Done");
    return WindRunOutcome::Done;
}

}  // namespace quor::wind
