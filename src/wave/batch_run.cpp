#include "wave/batch_run.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/numbers.h"
#include "platform/textfile.h"
#include "project/run_hold.h"
#include "wave/debug_files.h"
#include "wave/rwe_results.h"
#include "wave/rwe_run_start.h"

namespace quor::wave {

namespace fs = std::filesystem;

std::string batchLogPath(const std::string& app_folder) { return debugOutputFolder(app_folder) + "/batch.txt"; }

std::optional<float> waterLevelTerm(const std::string& line) {
    if (line.find_first_not_of(" \t") == std::string::npos) return 1e-07f;
    const auto v = platform::parseNumber(line);
    if (!v) return std::nullopt;
    return *v == 0 ? 1e-07f : static_cast<float>(*v);
}

namespace {

// The earlier log is kept aside, and every line of this one is in the
// file as soon as it is written: a batch that breaks off, a full disk
// included, leaves the log of what it did.
std::unique_ptr<platform::LineLog> beginBatchLog(const std::string& logPath, const WaveRunContext& ctx) {
    ensureParentFolder(logPath);
    std::error_code ec;
    if (fs::exists(logPath, ec)) {
        fs::rename(logPath, logPath + ".bak", ec);
        if (ec) throw platform::FileError("The earlier batch log cannot be kept as " + logPath + ".bak: " + ec.message());
    }
    auto log = std::make_unique<platform::LineLog>(logPath);
    log->writeLine(kBatchLogTitle + (ctx.clock ? ctx.clock() : currentDateTimeText()));
    log->writeLine("");
    log->writeLine(kBatchLogColumns);
    return log;
}

// The names of the folder's files, in order.
std::vector<std::string> fileNamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        // A link that leads nowhere, or round in a loop, is no wind file
        // any more than a folder is.
        std::error_code notAFile;
        if (e.is_regular_file(notAFile)) names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool isRweWindFile(const std::string& name) {
    return name.size() >= 8 && name.compare(name.size() - 8, 8, "Wind_RWE") == 0;
}

// The water-level term of each wind file in turn, 0 without a water-level
// file. A tide record of years holds far more lines than the batch has
// wind files: only the title and one line per file are read.
class WaterLevels {
public:
    WaterLevels(const std::string& file, std::size_t windFiles) : given_(!file.empty()) {
        if (given_) lines_ = platform::readFirstTextLines(file, 1 + windFiles);
    }

    float next(const std::string& windFile) {
        if (!given_) return 0;
        if (next_ >= lines_.size()) throw platform::FileError("The water-level file has no line for " + windFile + ".");
        const auto t = waterLevelTerm(lines_[next_++]);
        if (!t) throw platform::FileError("A line of the water-level file is not a number.");
        return *t;
    }

private:
    const bool given_;
    std::vector<std::string> lines_;
    std::size_t next_ = 1;  // the first line is a title
};

// The batch's single runs, one per wind file of the folder, each logged.
class WindFileRuns {
public:
    WindFileRuns(const WaveRunContext& ctx, model::RunShell& shell, const std::shared_ptr<pg::FeatureClass>& points,
                 const BatchSetup& setup, platform::LineLog& log, BatchOutcome& out)
        : run_(ctx), rc_(ctx.rays), shell_(shell), points_(points), setup_(setup), log_(log), out_(out) {
        run_.batchLog = [this](const std::string& line) { log_.writeLine(line); };
    }

    void runAll() {
        const std::vector<std::string> names = fileNamesIn(setup_.folder);
        const int count = static_cast<int>(names.size());
        WaterLevels levels(setup_.tide_file, names.size());
        for (int i = 0; i < count; ++i)
            if (!runFile(names[static_cast<std::size_t>(i)], i, count, levels)) break;
        if (!out_.stoppedBecause.empty()) log_.writeLine(out_.stoppedBecause);
        out_.completed = out_.stoppedBecause.empty();
    }

private:
    // The run with one file of the folder; false when the user stopped the batch.
    bool runFile(const std::string& name, int i, int count, WaterLevels& levels) {
        auto& s = rc_.state;
        rc_.progress.yield();
        if (s.stop_flag) {
            s.stop_flag = false;
            out_.stoppedBecause = "Batch stopped by the user after " + std::to_string(out_.runs) + " wind files.";
            return false;
        }
        if (!isRweWindFile(name)) return true;
        rc_.mainform.windpath = (fs::path(setup_.folder) / name).string();
        shell_.showWindName(name);
        showFile(name, i, count);
        s.batch_windname = name;
        const float term = levels.next(name);
        const RunOutcome r = wave_main_cls(run_).WaveMain(points_, 0, rc_.fm_property.optionindex, term,
                                                          static_cast<int16_t>(i));
        ++out_.runs;
        out_.threads = std::max(out_.threads, r.threads);
        // An unreadable wind file ends its own run only; the log says it was left out.
        if (r.windUnusable) {
            out_.skipped.push_back(name);
            log_.writeLine("Wind file " + name + " skipped: its wind data cannot be used.");
            return true;
        }
        if (r.end == RunEnd::Failed || r.end == RunEnd::Refused)
            throw platform::FileError("The run with " + name + " could not be completed.");
        if (r.end != RunEnd::Cancelled) return true;
        s.stop_flag = false;
        out_.stoppedBecause = "Batch stopped by the user during " + name + ".";
        return false;
    }

    void showFile(const std::string& name, int i, int count) {
        auto& progress = rc_.progress;
        progress.setValue(2, static_cast<int>(platform::roundHalfEven(100.0 * i / count)));
        progress.setLabel(2, "Processing wind data " + std::to_string(i + 1) + " of " + std::to_string(count));
        progress.setLabel(3, "Processing wind data file:   " + name);
    }

    WaveRunContext run_;
    gis::RayContext& rc_;
    model::RunShell& shell_;
    const std::shared_ptr<pg::FeatureClass>& points_;
    const BatchSetup& setup_;
    platform::LineLog& log_;
    BatchOutcome& out_;
};

// The project's wind file is the single runs' again whatever happens,
// and the tree names it again.
struct RestoreWind {
    model::MainFormState& mf;
    std::string windpath;
    model::RunShell& shell;
    const std::string& wind_name;
    ~RestoreWind() {
        mf.windpath = windpath;
        try {
            shell.showWindName(wind_name);
        } catch (...) {
        }
    }
};

}  // namespace

BatchOutcome batch_processing_cls::batch_processing(const std::shared_ptr<pg::FeatureClass>& pFeatClass,
                                                    int16_t /*counterstart*/, const BatchSetup& setup) {
    auto& rc = ctx_.rays;
    auto& s = rc.state;
    auto& mf = rc.mainform;
    auto& progress = rc.progress;
    BatchOutcome out;
    // Against other programs for the whole batch: its single runs take none.
    std::optional<project::RunLocks> locks;
    if (pFeatClass) {
        locks.emplace(&s.run_lock, mf.projfile, mf.projname, *pFeatClass);
        if (auto refusal = locks->admit(rc.messages, &s.unguarded_run_told)) {
            out.stoppedBecause = *refusal;
            return out;
        }
    }
    // Around the single runs it starts, each of which holds its own.
    project::RunHold hold(s.run_lock, ctx_.shell);
    model::RunShell& shell = hold.shell();

    // A setting a single run refuses refuses the whole batch, before its log is touched.
    if (auto problem = rweRunRangeProblem(mf, s)) {
        rc.messages.message(*problem, platform::MessageIcon::Exclamation);
        out.stoppedBecause = *problem;
        return out;
    }
    RestoreWind restore{mf, mf.windpath, shell, s.wind_name};
    std::unique_ptr<platform::LineLog> log;

    progress.show();
    progress.setMaximum(2, 100);
    progress.setValue(2, 5);
    std::string reason;
    try {
        log = beginBatchLog(batchLogPath(s.app_folder), ctx_);
        WindFileRuns(ctx_, shell, pFeatClass, setup, *log, out).runAll();
    } catch (const std::exception& e) {
        reason = e.what();
        out.completed = false;
        try {
            if (log) log->writeLine("Batch stopped by an error: " + reason);
        } catch (const std::exception&) {
        }
        // The message says why as the log's last line does: the log is
        // not where the user looks, and a full disk may have kept it out.
        rc.messages.message(std::string(kBatchError) + "\n" + reason, platform::MessageIcon::Critical);
    }
    progress.setValue(2, 100);
    progress.hide();
    if (!reason.empty()) out.stoppedBecause = "Batch stopped by an error: " + reason;
    return out;
}

}  // namespace quor::wave
