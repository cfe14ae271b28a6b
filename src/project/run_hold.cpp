#include "project/run_hold.h"

#include <filesystem>
#include <system_error>

#include "platform/gis/gis_error.h"
#include "project/project_file.h"
#include "project/project_locks.h"

namespace quor::project {

using platform::FileLock;

std::string projectRunElsewhereText(const std::string& project) {
    return "Another Quor is running the project " + project + ". Please wait until its run has ended.";
}

std::string datasetRunElsewhereText(const std::string& dataset) {
    return "Another Quor is running a model on the point dataset " + dataset +
           ". Please wait until its run has ended.";
}

std::string storedResultsText(std::int64_t stored, std::int64_t sites) {
    return std::to_string(stored) + " of " + std::to_string(sites) +
           " sites have stored results; the result fields of the other sites are empty.";
}

std::string partlyStoredText(const std::vector<std::int64_t>& sites) {
    if (sites.empty()) return {};
    std::string list;
    for (std::size_t k = 0; k < sites.size(); ++k) list += (k ? ", " : "") + std::to_string(sites[k]);
    return (sites.size() == 1 ? "The result fields of site " + list + " may hold part of its new values"
                              : "The result fields of sites " + list + " may hold part of their new values") +
           ": the disk took only part of them and refused to put the old ones back.";
}

namespace {

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return a == b || std::filesystem::equivalent(a, b, ec);
}

}  // namespace

RunLocks::RunLocks(const std::string& projectFolder, const std::string& projectName, const std::string& datasetFile) {
    if (!projectFolder.empty() && !projectName.empty()) {
        project_.emplace(projectLockPath(projectFolder, projectName), FileLock::Mode::Exclusive, kRunSlot);
        if (project_->heldElsewhere()) return;
    }
    // The project's own geodatabase is guarded by its run lock, taken above.
    if (!datasetFile.empty() && !(project_ && sameFile(project_->path(), datasetFile)))
        dataset_.emplace(datasetFile, FileLock::Mode::Exclusive, kRunSlot, FileLock::IfMissing::Leave);
}

RunLocks::RunLocks(const model::RunLock* running, const std::string& projectFolder, const std::string& projectName,
                   const platform::gis::FeatureClass& points)
    : RunLocks(running && running->active() ? std::string() : projectFolder, projectName,
               running && running->active() ? std::string() : datasetLockPath(points)) {
    // A shapefile is named by its path, as the user chose it.
    const auto ws = points.workspace();
    const bool shapefile = ws && ws->kind() == platform::gis::WorkspaceKind::ShapefileFolder;
    dataset_name_ = shapefile && dataset_ ? dataset_->path() : points.name();
    // Whatever a killed writer left half made is cleared by the next one,
    // which alone may: no other can be under way meanwhile.
    if (dataset_ && dataset_->held()) points.clearUnfinishedChange();
}

std::optional<std::string> RunLocks::admit(platform::Messages& messages, bool* told) const {
    if (auto why = refusal(dataset_name_)) {
        messages.message(*why, platform::MessageIcon::Exclamation);
        return why;
    }
    if (const auto unguarded = unguardedText(); unguarded && !(told && *told)) {
        messages.message(*unguarded, platform::MessageIcon::Exclamation);
        if (told) *told = true;
    }
    return std::nullopt;
}

std::string datasetLockPath(const platform::gis::FeatureClass& points) {
    const auto ws = points.workspace();
    if (!ws) return {};
    if (ws->kind() == platform::gis::WorkspaceKind::ShapefileFolder) return shapefileShpPath(ws->path(), points.name());
    if (ws->kind() != platform::gis::WorkspaceKind::GeoPackage) return {};
    // A project's geodatabase: its run lock, in the lock file its project
    // made; none is made beside a geodatabase that is no project's.
    const std::filesystem::path gpkg(ws->path());
    const std::string lock = projectLockPath(gpkg.parent_path().string(), gpkg.stem().string());
    std::error_code ec;
    return std::filesystem::is_regular_file(lock, ec) ? lock : std::string();
}

std::optional<std::string> RunLocks::refusal(const std::string& dataset) const {
    if (project_ && project_->heldElsewhere()) return std::string(kProjectRunElsewhere);
    if (dataset_ && dataset_->heldElsewhere()) return datasetRunElsewhereText(dataset);
    return std::nullopt;
}

std::optional<std::string> RunLocks::unguardedText() const {
    if ((project_ && project_->unsupported()) || (dataset_ && dataset_->unsupported()))
        return std::string(kUnguardedRun);
    for (const auto* lock : {&project_, &dataset_})
        if (*lock && (*lock)->state() == FileLock::State::Unavailable)
            return "Quor cannot lock " + (*lock)->path() + " (" + (*lock)->error() +
                   "), so it cannot stop another Quor from running on this project or this point dataset at the "
                   "same time. The run goes ahead; please make sure that no other Quor uses them until it has ended.";
    return std::nullopt;
}

std::string shapefileShpPath(const std::string& folder, const std::string& name) {
    std::error_code ec;
    for (const char* ext : {".shp", ".SHP"}) {
        const std::string path = folder + "/" + name + ext;
        if (std::filesystem::is_regular_file(path, ec)) return path;
    }
    return {};
}

RunHold::RunHold(model::RunLock& lock, model::RunShell* shell) : lock_(lock), shell_(shell ? shell : &headless_) {
    shell_->runStarted();
}

RunHold::~RunHold() {
    // A run that broke off keeps what it stored, as every site's own
    // commit kept it.
    try {
        if (batch_) commitBatch();
    } catch (...) {
    }
    batch_.reset();
    quick_.reset();
    // A failure here goes unreported: the normal path flushes on its own
    // through sitesStored() to hear of it.
    try {
        if (points_) points_->flush();
    } catch (...) {
    }
    try {
        if (minimised_) shell_->setMinimised(false);
        if (titled_) shell_->setTitle("Quor");
        shell_->runEnded();
        shell_->redraw();
    } catch (...) {
    }
}

void RunHold::writeInto(std::shared_ptr<platform::gis::FeatureClass> points, bool workingCopy) {
    points_ = std::move(points);
    workingCopy_ = workingCopy;
}

void RunHold::storeSitesQuickly(bool inBatches) {
    if (!points_ || !points_->workspace()) return;
    auto& ws = *points_->workspace();
    quick_.emplace(ws);
    // Only a geodatabase keeps a transaction; a shapefile's rows are
    // written in place as they come.
    batches_ = inBatches && ws.kind() == platform::gis::WorkspaceKind::GeoPackage && !ws.inTransaction();
    if (batches_) beginBatch();
}

void RunHold::beginBatch() {
    batch_.emplace(*points_->workspace());
    batchSites_ = 0;
    batchStart_ = std::chrono::steady_clock::now();
}

void RunHold::commitBatch() {
    try {
        batch_->commit();
    } catch (const std::exception& e) {
        batch_.reset();
        batches_ = false;
        // A batch that held no site's results loses none.
        if (storedSoFar_ != durable_) batchLost_ = e.what();
        throw;
    }
    batch_.reset();
    durable_ = storedSoFar_;
}

void RunHold::siteCommitted(std::int64_t stored) {
    storedSoFar_ = stored;
    if (!batches_) return;
    if (++batchSites_ < kBatchSites && std::chrono::steady_clock::now() - batchStart_ < kBatchTime) return;
    commitBatch();
    beginBatch();
}

bool RunHold::sitesStored() {
    if (!notOnDisk_) {
        notOnDisk_.emplace();
        // Whatever fails here, no site is taken for stored that may not be.
        try {
            if (batch_) commitBatch();
        } catch (const std::exception&) {
        }
        if (batchLost_) {
            // Only the batches committed before hold results.
            *notOnDisk_ = batchLost_->empty() ? "the file did not take them." : *batchLost_;
            heldElsewhere_ = durable_;
        } else {
            try {
                if (points_) points_->flush();
            } catch (const platform::gis::EditKeptError& e) {
                *notOnDisk_ = e.what();
                editKept_ = true;
            } catch (const platform::gis::TableReplacedError& e) {
                *notOnDisk_ = e.what();
                heldElsewhere_ = e.held();
            } catch (const std::exception& e) {
                *notOnDisk_ = e.what();
            } catch (...) {
                *notOnDisk_ = "the disk did not confirm them.";
            }
        }
        quick_.reset();
    }
    return notOnDisk_->empty();
}

std::string RunHold::storedText(std::int64_t stored, std::int64_t sites) {
    if (workingCopy_) return sitesStored() ? std::string() : *notOnDisk_;
    if (sitesStored()) return storedResultsText(stored, sites);
    if (editKept_) return storedResultsText(stored, sites) + " " + *notOnDisk_;
    return std::to_string(heldElsewhere_) + " of " + std::to_string(sites) + " sites hold results for sure: " +
           *notOnDisk_;
}

std::int64_t RunHold::held(std::int64_t stored) { return sitesStored() || editKept_ ? stored : heldElsewhere_; }

void RunHold::toBackground() {
    shell_->setMinimised(true);
    minimised_ = true;
}

void RunHold::toForeground() {
    if (minimised_) shell_->setMinimised(false);
    minimised_ = false;
    if (titled_) shell_->setTitle("Quor");
    titled_ = false;
}

void RunHold::setTitle(const std::string& title) {
    shell_->setTitle(title);
    titled_ = true;
}

}  // namespace quor::project
