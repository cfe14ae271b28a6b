#include "cli/quor_run.h"

#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>

#include "cli/run_inputs.h"
#include "cli/run_options.h"
#include "cli/run_report.h"
#include "cli/run_settings.h"
#include "cli/sites_dataset.h"
#include "cli/terminal.h"
#include "gis/ray_site.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/map.h"
#include "platform/gis/workspace.h"
#include "platform/log.h"
#include "project/ptdatasel.h"
#include "rei/rei_fields.h"
#include "rei/rei_run.h"
#include "wave/rwe_results.h"
#include "wave/rwe_run_start.h"
#include "wind/loadwind.h"

namespace quor::cli {

namespace {

namespace pg = platform::gis;

void tell(const std::string& text) { std::fprintf(stderr, "%s: %s\n", kProgramName, text.c_str()); }

// One run, from its options to its exit status.
class QuorRun {
public:
    explicit QuorRun(const RunOptions& options)
        : o_(options), terminal_(stderr, progressStyleFor(stderr, options.has("--quiet"))), messages_(terminal_),
          app_(std::make_unique<model::ApplicationState>()), progress_(terminal_, app_->state) {
        // The window's questions, answered by the options.
        messages_.answer(wave::kReplaceRweQuestion, o_.has("--replace"));
        messages_.answer(rei::kReplaceReiQuestion, o_.has("--replace"));
        // A stop request is the user's answer to the progress window's question.
        messages_.answer(wave::kCancelQuestion, true);
        log_ = platform::setLogSink([this](const std::string& line) { terminal_.say(line); });
    }
    ~QuorRun() { platform::setLogSink(log_); }

    int run() {
        try {
            prepare();
        } catch (const BadInput& e) {
            terminal_.say(std::string(kProgramName) + ": " + e.what());
            return kBadInput;
        }
        if (StopRequest::requested()) {
            terminal_.say(std::string(kProgramName) + ": stopped before the run began; nothing was written.");
            return kStopped;
        }
        RunReport report = o_.model == Model::Rwe ? runRwe() : runRei();
        return finish(report);
    }

private:
    // Everything that may refuse the run, before anything is written.
    void prepare() {
        applyRunSettings(o_, *app_, messages_);
        const InputReferences inputs = takeRunInputs(o_, *app_, wind_, messages_, map_);
        bathymetry_ = inputs.bathymetryRead;
        source_ = sitesSource(o_, app_->form);
        // The rays of each site live in memory; a run needs a geodatabase
        // to fall back on all the same, and without a project it is one
        // that never reaches a file.
        if (!app_->form.ptworkspace) app_->form.ptworkspace = pg::Workspace::createMemory("quor-run");
        if (o_.has("--output")) {
            target_ = outputTarget(o_, source_);
            const std::int64_t count = siteCount(source_);
            work_.emplace(QDir::tempPath() + "/quor-run-XXXXXX");
            if (!work_->isValid()) throw BadInput("the sites cannot be copied: " + work_->errorString().toStdString());
            std::optional<SiteRange> range;
            if (o_.part) range = partRange(count, o_.part);
            try {
                computed_ = copySites(source_, range, work_->path().toStdString());
            } catch (const std::exception& e) {
                throw badOption("--sites", source_.shown(), e.what());
            }
            // Parts of one project run side by side: each writes only its copy.
            app_->form.projfile.clear();
        } else {
            computed_ = source_;
        }
        points_ = openSites(computed_);
        checkSites(source_, points_.fc->geometryType(), points_.fc->spatialReference(), inputs);
    }

    project::RunPoints openSites(const SitesSource& sites) {
        try {
            if (!sites.geodatabase()) return project::openShapefilePoints(sites.path);
            auto geodatabase = sites.path == (app_->form.ptworkspace ? app_->form.ptworkspace->path() : "")
                                   ? app_->form.ptworkspace
                                   : pg::Workspace::open(sites.path);
            return project::openGeodatabasePoints(geodatabase, sites.layer);
        } catch (const std::exception& e) {
            throw badOption(source_.geodatabase() ? "--layer" : "--sites",
                            source_.geodatabase() ? source_.layer : source_.path, e.what());
        }
    }

    // A shapefile's run counts from 0, a geodatabase class's from 1, as
    // the Run command hands them over.
    int16_t counterstart() const { return computed_.geodatabase() ? 1 : 0; }

    RunReport runRwe() {
        auto& a = *app_;
        gis::RayContext rays{a.state, a.holder, a.form, wind_, map_, messages_, progress_};
        const wave::RunOutcome out = wave::singleRun(rays, &progress_, points_.fc, counterstart(), points_.choice);
        terminal_.finish(out.end == wave::RunEnd::Completed);
        RunReport report = rweReport(out, *points_.fc);
        exit_ = out.end == wave::RunEnd::Completed ? (out.writeErrors > 0 ? kStopped : kCompleted)
                : out.end == wave::RunEnd::Cancelled ? kStopped
                : out.end == wave::RunEnd::Failed   ? (out.windUnusable ? kBadInput : kStopped)
                                                    : kBadInput;
        return report;
    }

    RunReport runRei() {
        auto& a = *app_;
        rei::ReiRunContext ctx{a.state, a.holder, a.form, wind_, map_, messages_, progress_, {}, {}};
        ctx.shell = &progress_;
        ctx.reloadWind = [&a, this](platform::Messages& m) {
            return wind::reloadProjectWind(a.state, wind_, a.holder, m);
        };
        ctx.stopRequested = &StopRequest::requested;
        const rei::ReiRunOutcome out = rei::runmodel(ctx, points_.fc, counterstart());
        terminal_.finish(out.end == rei::ReiRunEnd::Completed);
        exit_ = out.end == rei::ReiRunEnd::Completed                                     ? kCompleted
                : out.end == rei::ReiRunEnd::Failed || out.end == rei::ReiRunEnd::Stopped ? kStopped
                                                                                         : kBadInput;
        return reiReport(out);
    }

    int finish(RunReport& report) {
        if (!messages_.declined().empty())
            terminal_.say(std::string(kProgramName) + ": " + source_.shown() + ": " + messages_.declined() +
                          "\n--replace replaces them; nothing was written.");
        report.dataset = target_ ? target_->path : source_.shown();
        if (target_) writeOutput(report);
        report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
        if (o_.has("--json"))
            std::printf("%s\n", jsonOf(report).c_str());
        else
            terminal_.say(endLine(report));
        std::fflush(stdout);
        return exit_;
    }

    // The computed copy into the output, once the run has completed.
    void writeOutput(RunReport& report) {
        const std::string metadata = wave::rweMetadataPath(points_.choice.shpdir, points_.choice.shpname1);
        // Every handle on the copy goes before GDAL reads it whole.
        points_ = {};
        map_.clearLayers();
        if (exit_ != kCompleted) {
            terminal_.say(std::string(kProgramName) + ": nothing was written to " + target_->path + ".");
            report.dataset.clear();
            return;
        }
        try {
            cli::writeOutput(computed_, metadata, *target_, &StopRequest::requested);
        } catch (const std::exception& e) {
            terminal_.say(std::string(kProgramName) + ": " + e.what() + "\nNothing was written to " + target_->path +
                          ".");
            report.dataset.clear();
            report.end = "failed";
            exit_ = kStopped;
        }
    }

    const RunOptions& o_;
    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    Terminal terminal_;
    TerminalMessages messages_;
    std::unique_ptr<model::ApplicationState> app_;
    TerminalProgress progress_;
    model::WindSummary wind_;
    pg::Map map_;
    platform::LogSink log_;
    StopRequest stop_;

    SitesSource source_;    // the sites as the options name them
    std::shared_ptr<platform::gis::Raster> bathymetry_;  // read once, held for the run
    SitesSource computed_;  // what the run writes into: the sites, or their copy
    project::RunPoints points_;
    std::optional<OutputTarget> target_;
    std::optional<QTemporaryDir> work_;
    int exit_ = kStopped;
};

}  // namespace

int runQuor(const std::vector<std::string>& args) {
    RunOptions options;
    try {
        options = parseRunOptions(args);
    } catch (const BadInput& e) {
        tell(e.what());
        return kBadInput;
    }
    if (options.help) {
        std::fputs(helpText().c_str(), stdout);
        return kCompleted;
    }
    if (options.version) {
        std::fputs(versionText().c_str(), stdout);
        return kCompleted;
    }
    return QuorRun(options).run();
}

}  // namespace quor::cli
