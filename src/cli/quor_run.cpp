#include "cli/quor_run.h"

#include <QDir>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "cli/run_folders.h"
#include "cli/output_move.h"
#include "cli/part_merge.h"
#include "cli/part_record.h"
#include "cli/run_inputs.h"
#include "cli/run_options.h"
#include "cli/run_report.h"
#include "cli/run_settings.h"
#include "cli/sites_dataset.h"
#include "cli/terminal.h"
#include "gis/ray_site.h"
#include "platform/disk_writes.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/map.h"
#include "platform/gis/workspace.h"
#include "platform/log.h"
#include "project/ptdatasel.h"
#include "project/run_sites.h"
#include "rei/rei_fields.h"
#include "rei/rei_run.h"
#include "wave/rwe_results.h"
#include "wave/rwe_run_start.h"
#include "wind/loadwind.h"

namespace quor::cli {

namespace {

namespace fs = std::filesystem;
namespace pg = platform::gis;

void tell(const std::string& text) { std::fprintf(stderr, "%s: %s\n", kProgramName, text.c_str()); }

// BadInput unless the results can go into the sites' own table: a table
// that cannot be written is refused before the run, not at its first site.
void requireWritableInPlace(const SitesSource& sites) {
    const char* option = sites.geodatabase() ? "--layer" : "--sites";
    const std::string named = sites.geodatabase() ? sites.layer : sites.path;
    // The folder takes a GeoPackage's journal, a shapefile's table made
    // anew when fields are added, and the metadata file.
    std::vector<std::string> written{fs::absolute(sites.path).parent_path().string()};
    if (sites.geodatabase()) {
        written.push_back(sites.path);
    } else {
        fs::path table = fs::path(sites.path).replace_extension(".dbf");
        std::error_code ec;
        if (!fs::exists(table, ec)) table.replace_extension(".DBF");
        written.push_back(table.string());
    }
    for (const auto& file : written)
        if (::access(file.c_str(), W_OK) != 0 && errno != ENOENT)
            throw badOption(option, named,
                            file + " cannot be written (" + std::strerror(errno) + "); the run writes its results there.");
}

// One run, from its options to its exit status.
class QuorRun {
public:
    explicit QuorRun(const RunOptions& options)
        : o_(options), terminal_(stderr, progressStyleFor(stderr, options.has("--quiet"))), messages_(terminal_),
          app_(std::make_unique<model::ApplicationState>()), progress_(terminal_, app_->state) {
        // The window's questions, answered by the options.
        messages_.answerStartingWith(wave::kReplaceRweQuestion, o_.has("--replace"));
        messages_.answerStartingWith(rei::kReplaceReiQuestion, o_.has("--replace"));
        messages_.answerEndingWith(project::kReplaceFieldsQuestionEnd, o_.has("--replace"));
        // A stop request is the user's answer to the progress window's question.
        messages_.answer(wave::kCancelQuestion, true);
        log_ = platform::setLogSink([this](const std::string& line) { terminal_.say(line); });
        report_.model = o_.model;
    }
    ~QuorRun() { platform::setLogSink(log_); }

    // Whatever fails, the run ends in words and an exit status, never an abort.
    int run() {
        try {
            return runAll();
        } catch (const std::exception& e) {
            return failed(e.what());
        } catch (...) {
            return failed("an unknown error ended the run.");
        }
    }

private:
    int runAll() {
        try {
            prepare();
        } catch (const BadInput& e) {
            terminal_.say(std::string(kProgramName) + ": " + e.what());
            report_ = refusedReport(o_.model, e.what());
            return print();
        }
        if (StopRequest::requested()) {
            report_.end = End::Stopped;
            report_.counted = false;
            report_.message = std::string(kNothingWritten) + "; the run was stopped before it began";
            return print();
        }
        report_ = o_.model == Model::Rwe ? runRwe() : runRei();
        return finish();
    }

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
        const std::string temp = QDir::tempPath().toStdString();
        removeLeftFolders(temp, kWorkingCopyPrefix);
        if (o_.has("--output")) {
            target_ = outputTarget(o_, source_, runInputFiles(o_, app_->form, source_));
            // The output is made beside its place: a folder that cannot take
            // it is refused now, not after the computation.
            const std::string folder = fs::absolute(target_->path).parent_path().string();
            removeLeftFolders(folder, kStagingPrefix, undoUnfinishedMove);
            try {
                staging_.emplace(folder, kStagingPrefix);
            } catch (const std::exception& e) {
                throw badOption("--output", target_->path,
                                "the folder " + folder + " cannot be written (" + e.what() + ").");
            }
            const std::int64_t count = siteCount(source_);
            std::optional<SiteRange> range;
            if (o_.part) range = partRange(count, o_.part);
            requireKept(range);
            try {
                work_.emplace(temp, kWorkingCopyPrefix);
            } catch (const std::exception& e) {
                throw BadInput("the sites cannot be copied into " + temp + ": " + e.what());
            }
            try {
                computed_ = copySites(source_, range, work_->path());
            } catch (const BadInput&) {
                throw;
            } catch (const std::exception& e) {
                throw badOption("--sites", source_.shown(), e.what());
            }
            record_ = runRecord(o_, *app_, source_, count, partRange(count, o_.part));
            // Parts of one project run side by side: each writes only its copy.
            app_->form.projfile.clear();
        } else {
            requireWritableInPlace(source_);
            computed_ = source_;
        }
        points_ = openSites(computed_);
        points_.choice.workingCopy = target_.has_value();
        checkSites(source_, points_.fc->geometryType(), points_.fc->spatialReference(), inputs);
    }

    // BadInput unless the output keeps every name and value of the sites it
    // holds (those of `range`) as they are.
    void requireKept(const std::optional<SiteRange>& range) {
        std::optional<std::string> unkept;
        try {
            unkept = unkeptByOutput(*target_, {{source_.path, target_->layer, {}}}, range);
        } catch (const std::exception& e) {
            throw badOption("--sites", source_.shown(), e.what());
        }
        if (unkept) throw badOption("--output", target_->path, *unkept);
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
        rays.mapSeen = false;  // no window shows the map
        rays.sitesMayBeNone = o_.part.has_value();
        const wave::RunOutcome out = wave::singleRun(rays, &progress_, points_.fc, counterstart(), points_.choice);
        RunReport report = rweReport(out);
        terminal_.finish(report.end == End::Completed);
        return report;
    }

    RunReport runRei() {
        auto& a = *app_;
        rei::ReiRunContext ctx{a.state, a.holder, a.form, wind_, map_, messages_, progress_, {}, {}};
        ctx.shell = &progress_;
        ctx.mapSeen = false;  // no window shows the map
        ctx.sitesMayBeNone = o_.part.has_value();
        ctx.reloadWind = [&a, this](platform::Messages& m) {
            return wind::reloadProjectWind(a.state, wind_, a.holder, m);
        };
        ctx.stopRequested = &StopRequest::requested;
        ctx.workingCopy = points_.choice.workingCopy;
        const rei::ReiRunOutcome out = rei::runmodel(ctx, points_.fc, counterstart());
        RunReport report = reiReport(out);
        terminal_.finish(report.end == End::Completed);
        return report;
    }

    int finish() {
        if (!messages_.declined().empty()) {
            report_.message = source_.shown() + ": " + messages_.declined() + "\n--replace replaces them; nothing was written.";
            terminal_.say(std::string(kProgramName) + ": " + report_.message);
        }
        report_.dataset = target_ ? target_->path : source_.shown();
        if (target_) writeOutput();
        if (report_.end != End::Completed && report_.message.empty()) report_.message = messages_.lastWarning();
        return print();
    }

    // The computed copy into the output, once the run has completed.
    void writeOutput() {
        const std::string metadata = wave::rweMetadataPath(points_.choice.shpdir, points_.choice.shpname1);
        // Every handle on the copy goes before GDAL reads it whole.
        points_ = {};
        map_.clearLayers();
        if (report_.end != End::Completed) {
            // What the run told of its sites was of its working copy, which
            // goes; the only disk it wrote to was that of $TMPDIR.
            std::string told = "nothing was written to " + target_->path + ".";
            if (messages_.lastWarning().find(platform::kDiskFullText) != std::string::npos)
                told = workingCopyDoesNotFit(fs::path(work_->path()).parent_path().string()) +
                       "\nNothing was written to " + target_->path + ".";
            if (report_.message.empty()) report_.message = told;
            terminal_.say(std::string(kProgramName) + ": " + told);
            nothingWritten();
            return;
        }
        try {
            cli::writeOutput(computed_, metadata, *target_, staging_->path(), &StopRequest::requested,
                             [this](const std::string& made) {
                                 record_->rowsDigest = rowsDigestOf(made);
                                 writeRecord(*record_, made, target_->driver);
                             });
        } catch (const std::exception& e) {
            terminal_.say(std::string(kProgramName) + ": " + e.what() + "\nNothing was written to " + target_->path +
                          ".");
            nothingWritten();
            report_.end = brokenOff();
            report_.message = e.what();
        }
    }

    // The output holds none of the sites the run stored in its working copy.
    void nothingWritten() {
        report_.dataset.clear();
        report_.stored = 0;
        report_.held = 0;
    }

    int failed(const std::string& why) {
        terminal_.finish(false);
        terminal_.say(std::string(kProgramName) + ": the run failed: " + why);
        report_.end = End::Failed;
        report_.counted = false;
        report_.message = why;
        report_.dataset.clear();
        return print();
    }

    // The end line, or the JSON object, on every exit; a reader that went
    // away costs nothing.
    int print() {
        report_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
        if (o_.has("--json"))
            printEndObject(record_ ? jsonWithRecord(jsonOf(report_), *record_) : jsonOf(report_));
        else
            terminal_.say(endLine(report_));
        return exitStatus(report_.end);
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
    std::optional<OutputTarget> target_;
    std::optional<RunFolder> staging_;  // beside the output, where it is made
    std::optional<RunFolder> work_;     // the copy of the sites the run computes
    project::RunPoints points_;         // closed before the folders go
    RunReport report_;
    std::optional<PartRecord> record_;  // what the output records of itself
};

}  // namespace

int runQuor(const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "merge") return runMerge({args.begin() + 1, args.end()});
    RunOptions options;
    try {
        options = parseRunOptions(args);
    } catch (const BadInput& e) {
        tell(e.what());
        return refusedOptions(args, [&] {
            std::optional<Model> model;
            if (!args.empty() && args[0] == "rwe") model = Model::Rwe;
            if (!args.empty() && args[0] == "rei") model = Model::Rei;
            return jsonOf(refusedReport(model, e.what()));
        });
    }
    if (options.help) return printed(helpText());
    if (options.version) return printed(versionText());
    return QuorRun(options).run();
}

}  // namespace quor::cli
