#include "project/project_locks.h"

#include <filesystem>
#include <system_error>

#include "project/project_file.h"

namespace quor::project {

using platform::FileLock;

std::string noFileLocksText(const std::string& folder, const std::string& action) {
    return "The folder " + folder + " is on a disk that cannot lock files (some network disks cannot). A project "
           "keeps its point datasets in a GeoPackage, which can only be written where files can be locked, so Quor "
           "cannot " + action + " a project there. Please use a folder on a local disk.";
}

std::unique_ptr<FileLock> holdOpenProject(const std::string& folder, const std::string& name) {
    return std::make_unique<FileLock>(projectLockPath(folder, name), FileLock::Mode::Shared, kOpenSlot);
}

ProjectClaim::ProjectClaim(const std::string& folder, const std::string& name)
    : folder_(folder), name_(name), path_(projectLockPath(folder, name)) {
    run_ = std::make_unique<FileLock>(path_, FileLock::Mode::Exclusive, kRunSlot);
    madeFile_ = run_->createdFile();
    if (run_->heldElsewhere()) return;
    open_ = std::make_unique<FileLock>(path_, FileLock::Mode::Exclusive, kOpenSlot);
}

ProjectClaim::~ProjectClaim() {
    if (!madeFile_ || keepFile_ || obstacle() != Obstacle::None) return;
    // Still held here, so nobody else has it: it can go.
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

ProjectClaim::Obstacle ProjectClaim::obstacle() const {
    if (run_->heldElsewhere()) return Obstacle::Running;
    if (open_ && open_->heldElsewhere()) return Obstacle::Open;
    return Obstacle::None;
}

std::optional<std::string> ProjectClaim::unguardedWhy() const {
    if (run_->unsupported() || (open_ && open_->unsupported()))
        return std::string("the disk of its folder keeps no file locks (some network disks do not)");
    for (const FileLock* lock : {run_.get(), open_.get()}) {
        if (!lock) continue;
        if (lock->sharedInstead())
            return "its lock file " + lock->path() + " belongs to another account and cannot be written from here";
        if (lock->state() == FileLock::State::Unavailable)
            return "its lock file " + lock->path() + " cannot be used (" + lock->error() + ")";
    }
    return std::nullopt;
}

std::unique_ptr<FileLock> ProjectClaim::keepOpen() {
    keepFile_ = true;
    if (!open_ || !open_->held()) return holdOpenProject(folder_, name_);
    open_->share();
    return std::move(open_);
}

void ProjectClaim::projectDeleted() {
    keepFile_ = true;  // removed here, whoever made it
    if (!run_->held()) return;
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

}  // namespace quor::project
