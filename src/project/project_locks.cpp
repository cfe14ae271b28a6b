#include "project/project_locks.h"

#include <filesystem>
#include <system_error>

#include "project/project_file.h"

namespace quor::project {

using platform::FileLock;

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
