#pragma once
// Everything a model run takes for its length and gives back however it
// ends, and what it tells the user about it.
//
// Against other programs, taken by every writer of a point dataset (the
// RWE run, the batch, the REI run, the IIndex tool) before it changes
// anything, wherever it was started from:
//   RunLocks  the project's run lock (which guards its geodatabase as well)
//             and a lock on the point shapefile it writes into, so that two
//             projects that both added one shapefile never run on it at
//             the same time.
// In this program, taken by each driver (a batch holds one around the
// single runs it starts):
//   RunHold   the run lock that greys every command but Cancel; the window
//             busy, and back from the background, titled and idle at the
//             end; the point dataset's commits quick while sites are
//             stored, and on disk for other programs however the run ends.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/run_lock.h"
#include "model/run_shell.h"
#include "platform/feedback.h"
#include "platform/file_lock.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/workspace.h"

namespace quor::project {

inline constexpr const char* kProjectRunElsewhere =
    "Another Quor is running this project. Please wait until its run has ended.";
inline constexpr const char* kUnguardedRun =
    "The disk of this project or of its point dataset keeps no file locks (some network disks do not), so Quor "
    "cannot stop another Quor from running on them at the same time. The run goes ahead; please make sure that no "
    "other Quor uses this project or this point dataset until it has ended.";

// Why another project cannot be deleted or replaced: another program runs it.
std::string projectRunElsewhereText(const std::string& project);
// Why a run did not start: another program runs a model on this dataset.
std::string datasetRunElsewhereText(const std::string& dataset);
// "S of N sites have stored results; the result fields of the other sites are empty."
std::string storedResultsText(std::int64_t stored, std::int64_t sites);
// Names the sites (counted from 1) whose fields the disk took only in part.
std::string partlyStoredText(const std::vector<std::int64_t>& sites);

class RunLocks {
public:
    // Tries each lock once, without waiting. An empty project folder or
    // name takes no project lock, an empty dataset file no dataset lock.
    // A lock that cannot be had leaves the run unguarded, and says so.
    RunLocks(const std::string& projectFolder, const std::string& projectName, const std::string& datasetFile);
    // A writer's locks for the point dataset `points` of the project in
    // `projectFolder` (none when empty). A writer started by a run that
    // holds them already (`running` active: a batch's single runs) takes
    // none.
    RunLocks(const model::RunLock* running, const std::string& projectFolder, const std::string& projectName,
             const platform::gis::FeatureClass& points);
    RunLocks(const RunLocks&) = delete;
    RunLocks& operator=(const RunLocks&) = delete;

    // Why the run must not start (another program runs the project, or a
    // model on the dataset named `dataset`), or nothing.
    std::optional<std::string> refusal(const std::string& dataset) const;
    // What the user is told when a lock cannot be had (a disk that keeps
    // no locks, a lock file that cannot be opened): the run goes
    // unguarded. Nothing when every lock holds.
    std::optional<std::string> unguardedText() const;
    // Why the writer must not go on, told to the user, or nothing. A writer
    // that goes unguarded is told so once (`told` remembers it; without
    // it, every time).
    std::optional<std::string> admit(platform::Messages& messages, bool* told) const;

private:
    std::string dataset_name_;
    std::optional<platform::FileLock> project_;
    std::optional<platform::FileLock> dataset_;
};

// The file whose lock guards the point dataset `points`: a shapefile's
// main file, or the lock file of the project whose geodatabase holds it
// (when there is one); empty for any other dataset.
std::string datasetLockPath(const platform::gis::FeatureClass& points);

// The main file (".shp", either case) of the shapefile `name` in
// `folder`, whose lock guards the dataset; empty when missing. A run
// writes only rows of it, in place, while its table (".dbf") may be
// replaced by a new file when fields are added, which would leave a lock
// on the table behind on the old one. A file of the user's is locked
// rather than one of our own, so that nothing new ever appears beside the
// user's data.
std::string shapefileShpPath(const std::string& folder, const std::string& name);

class RunHold {
public:
    static constexpr int kBatchSites = 2000;
    static constexpr std::chrono::milliseconds kBatchTime{250};

    // Greys the commands and shows the window busy. Without a shell the
    // run is headless and only the run lock is taken.
    RunHold(model::RunLock& lock, model::RunShell* shell);
    // Gives everything back: the dataset's commits, then the window, then
    // the commands.
    ~RunHold();
    RunHold(const RunHold&) = delete;
    RunHold& operator=(const RunHold&) = delete;

    model::RunShell& shell() { return *shell_; }

    // The point dataset the run writes into: however the run ends, what it
    // stored is on disk for other programs. A working copy (`workingCopy`)
    // is kept by the run's caller only once the run has completed.
    void writeInto(std::shared_ptr<platform::gis::FeatureClass> points, bool workingCopy = false);
    // From here on a geodatabase's commits are synced at checkpoints
    // rather than at every commit. With `inBatches`, the sites' writes
    // also go in batches: one transaction for up to kBatchSites sites or
    // kBatchTime, whichever comes first, so that a site costs its own
    // writes and no commit of its own; a crash then loses at most the
    // last batch, never damages the file. Without it (a window that draws
    // the dataset from its file as the sites come), every site is its own
    // transaction.
    void storeSitesQuickly(bool inBatches = false);
    // After each site's commit, with the sites whose results are stored so
    // far: the batch goes to the file once it is full or old enough.
    // GisError when the file does not take it: the run stops there, and
    // storedText() counts the sites of the batches before.
    void siteCommitted(std::int64_t stored);
    // Every stored site on disk before the run tells how it ended; false
    // when the disk does not take them, or another program's edit of the
    // table the run replaced is kept beside it. Tried once: a second call
    // answers as the first did.
    bool sitesStored();
    // What the disk holds of the `stored` sites' results, of `sites`, for
    // the run's last words: every stored site once they are on disk (and
    // where another program's edit is kept, when it is), none for sure
    // when the disk did not take them, and as many as it holds when
    // another program put its own table in place, and then why. Of a
    // working copy, which the caller keeps or not, only why the disk did
    // not take them; nothing once they are on disk.
    std::string storedText(std::int64_t stored, std::int64_t sites);
    // How many of the `stored` sites the dataset holds this run's results
    // for, as the writer counted them: all once on disk, as many as a
    // table another program put in place holds, else none for sure.
    std::int64_t held(std::int64_t stored);

    // Background runs keep the window minimised for their length.
    void toBackground();
    // The run's last words come over the whole window under its own title.
    void toForeground();
    // The run's progress in the title; "Quor" again at the end.
    void setTitle(const std::string& title);

private:
    model::RunLock::Scope lock_;
    model::RunShell headless_;
    model::RunShell* shell_;
    std::shared_ptr<platform::gis::FeatureClass> points_;
    bool workingCopy_ = false;
    std::optional<platform::gis::Workspace::QuickCommits> quick_;
    // The batch of sites being written, while batches are on.
    void beginBatch();
    // Commits the open batch; GisError (and no batch more) when it fails.
    void commitBatch();
    std::optional<platform::gis::Workspace::Transaction> batch_;
    bool batches_ = false;
    int batchSites_ = 0;
    std::chrono::steady_clock::time_point batchStart_;
    std::int64_t storedSoFar_ = 0;  // as told by the last site
    std::int64_t durable_ = 0;      // stored by the batches committed
    std::optional<std::string> batchLost_;  // why a batch did not reach the file
    std::optional<std::string> notOnDisk_;  // set once the sites were put on disk: empty when they are
    std::int64_t heldElsewhere_ = 0;        // sites a table put in place by another program holds
    bool editKept_ = false;                 // the sites are on disk, another program's edit beside them
    bool minimised_ = false;
    bool titled_ = false;
};

}  // namespace quor::project
