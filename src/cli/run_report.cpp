#include "cli/run_report.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>
#include <map>

#include "model/model_state.h"
#include "platform/gis/feature.h"
#include "platform/numbers.h"

namespace quor::cli {

namespace {

namespace pg = platform::gis;

const char* endOf(wave::RunEnd end) {
    switch (end) {
        case wave::RunEnd::Completed: return "completed";
        case wave::RunEnd::Cancelled: return "stopped";
        case wave::RunEnd::Failed: return "failed";
        default: return "refused";
    }
}

const char* endOf(rei::ReiRunEnd end) {
    switch (end) {
        case rei::ReiRunEnd::Completed: return "completed";
        case rei::ReiRunEnd::Stopped: return "stopped";
        case rei::ReiRunEnd::Failed: return "failed";
        default: return "refused";
    }
}

void add(RunReport& r, const std::string& why, std::int64_t count) {
    if (count > 0) r.notComputed.emplace_back(why, count);
}

bool isStatusCode(double v) {
    namespace st = model::pt_status;
    for (double code : {st::no_data, st::rays_failed, st::clip_failed, st::fetch_failed, st::fast_failed,
                        st::wave_failed, st::first_stage_failed, st::both_stages_failed})
        if (v == code) return true;
    return false;
}

}  // namespace

RunReport rweReport(const wave::RunOutcome& out, const pg::FeatureClass& points) {
    RunReport r;
    r.model = Model::Rwe;
    r.end = endOf(out.end);
    r.sites = out.sites;
    r.threads = out.threads;
    // The codes as the sites now hold them: a site the run stored with a
    // status code holds it in every result, a dry one (the fast algorithm)
    // 0 with -999 as its direction.
    std::map<double, std::int64_t> codes;
    std::int64_t coded = 0;
    // A refused run stored nothing: what the sites hold is an earlier run's.
    if (r.end == "refused") return r;
    if (points.findField("RWE") >= 0 && points.findField("MaxWvDr") >= 0) {
        auto cursor = points.search();
        while (auto f = cursor.next()) {
            const pg::FieldValue rwe = f->value("RWE"), dir = f->value("MaxWvDr");
            if (pg::isNull(rwe)) continue;
            const double v = pg::toDouble(rwe);
            const double code = isStatusCode(v) ? v
                                : !pg::isNull(dir) && pg::toDouble(dir) == model::pt_status::no_water_direction
                                    ? model::pt_status::no_water_direction
                                    : 0;
            if (code == 0) continue;
            ++codes[code];
            ++coded;
        }
    }
    r.computed = out.storedSites - coded;
    for (auto it = codes.rbegin(); it != codes.rend(); ++it) add(r, platform::formatNumber(it->first), it->second);
    add(r, "not finite", out.notFinite);
    add(r, "not written", out.writeErrors);
    add(r, "not reached", static_cast<std::int64_t>(out.sites) - out.sitesDone);
    return r;
}

RunReport reiReport(const rei::ReiRunOutcome& out) {
    RunReport r;
    r.model = Model::Rei;
    r.end = endOf(out.end);
    r.sites = out.sites;
    r.threads = out.threads;
    r.computed = out.written;
    add(r, "not processed", out.failed + out.skipped);
    add(r, "not finite", out.notFinite);
    add(r, "not reached", out.sites - out.written - out.failed - out.skipped - out.notFinite);
    return r;
}

std::string endLine(const RunReport& r) {
    std::string line = std::string(kProgramName) + ": " + (r.model == Model::Rwe ? "rwe " : "rei ") + r.end + ": ";
    if (r.end == "refused")
        line += "nothing was written";
    else
        line += std::to_string(r.computed) + " of " + std::to_string(r.sites) + " sites computed";
    if (!r.notComputed.empty()) {
        line += "; not computed:";
        bool first = true;
        for (const auto& [why, count] : r.notComputed) {
            line += std::string(first ? " " : ", ") + std::to_string(count) + (why[0] == '-' ? " at " : " ") + why;
            first = false;
        }
    }
    char time[32];
    std::snprintf(time, sizeof time, "%.1f s", r.seconds);
    return line + "; " + time;
}

std::string jsonOf(const RunReport& r) {
    QJsonObject notComputed;
    for (const auto& [why, count] : r.notComputed) notComputed.insert(QString::fromStdString(why), qint64(count));
    QJsonObject o;
    o.insert("model", r.model == Model::Rwe ? "rwe" : "rei");
    o.insert("end", QString::fromStdString(r.end));
    o.insert("sites", qint64(r.sites));
    o.insert("computed", qint64(r.computed));
    o.insert("notComputed", notComputed);
    o.insert("seconds", std::round(r.seconds * 1000) / 1000);
    o.insert("threads", r.threads);
    o.insert("dataset", QString::fromStdString(r.dataset));
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace quor::cli
