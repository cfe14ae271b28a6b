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
    } restore{mf, mf.windpath, shell, s.wind_name};

    // The earlier log is kept aside, and every line of this one is in the
    // file as soon as it is written: a batch that breaks off, a full disk
    // included, leaves the log of what it did.
    const std::string logPath = batchLogPath(s.app_folder);
    std::unique_ptr<platform::LineLog> log;

    progress.show();
    progress.setMaximum(2, 100);
    progress.setValue(2, 5);
    std::string reason;
    try {
        ensureParentFolder(logPath);
        std::error_code ec;
        if (fs::exists(logPath, ec)) {
            fs::rename(logPath, logPath + ".bak", ec);
            if (ec) throw platform::FileError("The earlier batch log cannot be kept as " + logPath + ".bak: " + ec.message());
        }
        log = std::make_unique<platform::LineLog>(logPath);
        log->writeLine(kBatchLogTitle + (ctx_.clock ? ctx_.clock() : currentDateTimeText()));
        log->writeLine("");
        log->writeLine(kBatchLogColumns);

        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(setup.folder)) {
            // A link that leads nowhere, or round in a loop, is no wind file
            // any more than a folder is.
            std::error_code notAFile;
            if (e.is_regular_file(notAFile)) names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        const int count = static_cast<int>(names.size());

        // A tide record of years holds far more lines than the batch has
        // wind files: only the title and one line per file are read.
        std::vector<std::string> tide;
        std::size_t nextTide = 1;  // the first line is a title
        if (!setup.tide_file.empty()) tide = platform::readFirstTextLines(setup.tide_file, 1 + names.size());

        WaveRunContext run = ctx_;
        run.batchLog = [&](const std::string& line) { log->writeLine(line); };
        for (int i = 0; i < count; ++i) {
            progress.yield();
            if (s.stop_flag) {
                s.stop_flag = false;
                out.stoppedBecause = "Batch stopped by the user after " + std::to_string(out.runs) + " wind files.";
                break;
            }
            const std::string& name = names[static_cast<std::size_t>(i)];
            if (name.size() < 8 || name.compare(name.size() - 8, 8, "Wind_RWE") != 0) continue;
            mf.windpath = (fs::path(setup.folder) / name).string();
            shell.showWindName(name);
            progress.setValue(2, static_cast<int>(platform::roundHalfEven(100.0 * i / count)));
            progress.setLabel(2, "Processing wind data " + std::to_string(i + 1) + " of " + std::to_string(count));
            progress.setLabel(3, "Processing wind data file:   " + name);
            s.batch_windname = name;
            float term = 0;
            if (!setup.tide_file.empty()) {
                if (nextTide >= tide.size())
                    throw platform::FileError("The water-level file has no line for " + name + ".");
                const auto t = waterLevelTerm(tide[nextTide++]);
                if (!t) throw platform::FileError("A line of the water-level file is not a number.");
                term = *t;
            }
            const RunOutcome r = wave_main_cls(run).WaveMain(pFeatClass, 0, rc.fm_property.optionindex, term,
                                                             static_cast<int16_t>(i));
            ++out.runs;
            out.threads = std::max(out.threads, r.threads);
            // An unreadable wind file ends its own run only; the log says it was left out.
            if (r.windUnusable) {
                out.skipped.push_back(name);
                log->writeLine("Wind file " + name + " skipped: its wind data cannot be used.");
                continue;
            }
            if (r.end == RunEnd::Failed || r.end == RunEnd::Refused)
                throw platform::FileError("The run with " + name + " could not be completed.");
            if (r.end == RunEnd::Cancelled) {
                s.stop_flag = false;
                out.stoppedBecause = "Batch stopped by the user during " + name + ".";
                break;
            }
        }
        if (!out.stoppedBecause.empty()) log->writeLine(out.stoppedBecause);
        out.completed = out.stoppedBecause.empty();
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
