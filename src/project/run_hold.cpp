#include "project/run_hold.h"

#include <filesystem>
#include <system_error>

#include "platform/gis/gis_error.h"
#include "project/project_file.h"
#include "project/project_locks.h"

namespace quor::project {

using platform::FileLock;

std::string datasetRunElsewhereText(const std::string& dataset) {
    return "Another Quor is running a model on the point dataset " + dataset +
           ". Please wait until its run has ended.";
}

std::string storedResultsText(std::int64_t stored, std::int64_t sites) {
    return std::to_string(stored) + " of " + std::to_string(sites) +
           " sites have stored results; the result fields of the other sites are empty.";
}

RunLocks::RunLocks(const std::string& projectFolder, const std::string& projectName, const std::string& datasetFile) {
    if (!projectFolder.empty() && !projectName.empty()) {
        project_.emplace(projectLockPath(projectFolder, projectName), FileLock::Mode::Exclusive, kRunSlot);
        if (project_->heldElsewhere()) return;
    }
    if (!datasetFile.empty())
        dataset_.emplace(datasetFile, FileLock::Mode::Exclusive, 0, FileLock::IfMissing::Leave);
}

std::optional<std::string> RunLocks::refusal(const std::string& dataset) const {
    if (project_ && project_->heldElsewhere()) return std::string(kProjectRunElsewhere);
    if (dataset_ && dataset_->heldElsewhere()) return datasetRunElsewhereText(dataset);
    return std::nullopt;
}

bool RunLocks::unguarded() const {
    return (project_ && project_->unsupported()) || (dataset_ && dataset_->unsupported());
}

std::string shapefileTablePath(const std::string& folder, const std::string& name) {
    std::error_code ec;
    for (const char* ext : {".dbf", ".DBF"}) {
        const std::string path = folder + "/" + name + ext;
        if (std::filesystem::is_regular_file(path, ec)) return path;
    }
    return {};
}

RunHold::RunHold(model::RunLock& lock, model::RunShell* shell) : lock_(lock), shell_(shell ? shell : &headless_) {
    shell_->runStarted();
}

RunHold::~RunHold() {
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

void RunHold::writeInto(std::shared_ptr<platform::gis::FeatureClass> points) { points_ = std::move(points); }

void RunHold::storeSitesQuickly() {
    if (points_ && points_->workspace()) quick_.emplace(*points_->workspace());
}

void RunHold::sitesStored() {
    if (points_) points_->flush();
    quick_.reset();
}

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
