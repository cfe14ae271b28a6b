#include "cli/run_report.h"

#include <QJsonObject>

#include <algorithm>

#include "platform/numbers.h"

namespace quor::cli {

namespace {

End endOf(wave::RunEnd end) {
    switch (end) {
        case wave::RunEnd::Completed: return End::Completed;
        case wave::RunEnd::Cancelled: return End::Stopped;
        case wave::RunEnd::Failed: return End::Failed;
        default: return End::Refused;
    }
}

End endOf(rei::ReiRunEnd end) {
    switch (end) {
        case rei::ReiRunEnd::Completed: return End::Completed;
        case rei::ReiRunEnd::Stopped: return End::Stopped;
        case rei::ReiRunEnd::Failed: return End::Failed;
        default: return End::Refused;
    }
}

// The report of a run's end, before its counts: a refused run counted nothing.
RunReport reportOf(std::optional<Model> model, End end, int threads) {
    RunReport r;
    r.model = model;
    r.end = end;
    r.threads = threads;
    r.counted = end != End::Refused;
    return r;
}

void add(RunReport& r, const std::string& why, std::int64_t count) {
    if (count > 0) r.notComputed.emplace_back(why, count);
}

}  // namespace

RunReport rweReport(const wave::RunOutcome& out) {
    // A site that could not be stored leaves the run unfinished; a wind
    // file the run could not use refused it before anything was written.
    const End end = out.windUnusable                                                  ? End::Refused
                    : out.end == wave::RunEnd::Completed && out.writeErrors > 0 ? End::Failed
                                                                                  : endOf(out.end);
    RunReport r = reportOf(Model::Rwe, end, out.threads);
    if (!r.counted) return r;
    r.sites = out.sites;
    r.stored = out.storedSites;
    r.held = std::max<std::int64_t>(0, std::min<std::int64_t>(out.heldSites, out.storedSites));
    std::int64_t coded = 0;
    for (const auto& [code, count] : out.storedCodes) coded += count;
    r.computed = std::max<std::int64_t>(0, out.storedSites - coded);
    // The codes from the highest down.
    for (auto it = out.storedCodes.rbegin(); it != out.storedCodes.rend(); ++it)
        add(r, platform::formatNumber(it->first), it->second);
    add(r, "not finite", out.notFinite);
    add(r, "not written", out.writeErrors);
    add(r, "not reached", static_cast<std::int64_t>(out.sites) - out.sitesDone);
    return r;
}

RunReport reiReport(const rei::ReiRunOutcome& out) {
    RunReport r = reportOf(Model::Rei, endOf(out.end), out.threads);
    if (!r.counted) return r;
    r.sites = out.sites;
    r.computed = out.written;
    r.stored = out.written;
    r.held = std::max<std::int64_t>(0, std::min(out.held, out.written));
    add(r, "not processed", out.failed + out.skipped);
    add(r, "not finite", out.notFinite);
    add(r, "not reached", out.sites - out.written - out.failed - out.skipped - out.notFinite);
    return r;
}

RunReport refusedReport(std::optional<Model> model, const std::string& why) {
    RunReport r = reportOf(model, End::Refused, 0);
    r.message = why;
    return r;
}

std::string endLine(const RunReport& r) {
    const std::string model = !r.model ? "" : r.model == Model::Rwe ? "rwe" : "rei";
    std::string what;
    if (!r.counted) {
        what += r.end == End::Refused ? kNothingWritten : r.message.empty() ? "its sites were not counted" : r.message;
    } else {
        what += std::to_string(r.computed) + " of " + std::to_string(r.sites) + " sites computed";
        if (r.dataset.empty()) what += std::string("; ") + kNothingWritten;
        if (r.held != r.stored)
            what += "; the dataset holds the results of " + std::to_string(r.held) + " of the " +
                    std::to_string(r.stored) + " sites this run stored";
    }
    if (!r.notComputed.empty()) {
        what += "; not computed:";
        bool first = true;
        for (const auto& [why, count] : r.notComputed) {
            what += std::string(first ? " " : ", ") + std::to_string(count) + (why[0] == '-' ? " at " : " ") + why;
            first = false;
        }
    }
    return cli::endLine(model, r.end, what, r.seconds);
}

std::string jsonOf(const RunReport& r) {
    QJsonObject notComputed;
    for (const auto& [why, count] : r.notComputed) notComputed.insert(QString::fromStdString(why), qint64(count));
    QJsonObject o;
    if (r.model) o.insert("model", r.model == Model::Rwe ? "rwe" : "rei");
    // A run that counted nothing says no count.
    if (r.counted) {
        o.insert("sites", qint64(r.sites));
        o.insert("computed", qint64(r.computed));
        o.insert("stored", qint64(r.stored));
        o.insert("held", qint64(r.held));
        o.insert("notComputed", notComputed);
    }
    if (!r.message.empty()) o.insert("message", QString::fromStdString(r.message));
    o.insert("threads", r.threads);
    o.insert("dataset", QString::fromStdString(r.dataset));
    return endObject(o, r.end, r.seconds);
}

}  // namespace quor::cli
