#include "project/run_locks.h"

#include <filesystem>
#include <system_error>

#include "project/project_file.h"

namespace quor::project {

namespace {

bool heldByAnother(const std::optional<platform::ExclusiveFileLock>& lock) {
    return lock && lock->state() == platform::ExclusiveFileLock::State::HeldElsewhere;
}

}  // namespace

RunLocks::RunLocks(const std::string& projectFolder, const std::string& projectName, const std::string& datasetFile) {
    if (!projectFolder.empty() && !projectName.empty()) {
        project_.emplace(projectLockPath(projectFolder, projectName));
        if (heldByAnother(project_)) return;
    }
    if (!datasetFile.empty())
        dataset_.emplace(datasetFile, platform::ExclusiveFileLock::IfMissing::Leave);
}

bool RunLocks::heldElsewhere() const { return heldByAnother(project_) || heldByAnother(dataset_); }

std::string shapefileTablePath(const std::string& folder, const std::string& name) {
    std::error_code ec;
    for (const char* ext : {".dbf", ".DBF"}) {
        const std::string path = folder + "/" + name + ext;
        if (std::filesystem::is_regular_file(path, ec)) return path;
    }
    return {};
}

}  // namespace quor::project
