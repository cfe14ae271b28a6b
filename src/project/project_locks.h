#pragma once
// What stands between two programs on one project: the lock file
// "<name>.lock" beside the project file. One byte of it is the run lock,
// taken exclusively by the program that runs the project; another is the
// open hold, taken shared by every program that has the project open, so
// that no other program deletes or replaces the project from under it.
#include <memory>
#include <optional>
#include <string>

#include "platform/file_lock.h"

namespace quor::project {

inline constexpr int kRunSlot = 0;
inline constexpr int kOpenSlot = 1;

// Why no project can be made or opened in `folder`, whose disk keeps no
// file locks: `action` is "create" or "open".
std::string noFileLocksText(const std::string& folder, const std::string& action);

// This program's hold on the project it has open, kept as long as the
// project stays open. Not held when another program is deleting or
// replacing the project; the caller decides what to tell.
std::unique_ptr<platform::FileLock> holdOpenProject(const std::string& folder, const std::string& name);

// Taken before a project's files are deleted or replaced: both locks
// exclusively, for as long as the claim lives, so that nobody starts a run
// on the project or opens it meanwhile. A lock file made for a claim that
// came to nothing is removed again when the claim ends.
class ProjectClaim {
public:
    enum class Obstacle { None, Running, Open };

    ProjectClaim(const std::string& folder, const std::string& name);
    ~ProjectClaim();
    ProjectClaim(const ProjectClaim&) = delete;
    ProjectClaim& operator=(const ProjectClaim&) = delete;

    // What another program is doing with the project, if anything.
    Obstacle obstacle() const;
    // Why the claim cannot keep other programs from the project meanwhile,
    // when it cannot: its disk keeps no locks, or its lock file cannot be
    // locked exclusively from here (another account's lock file lets
    // others still open the project). Nothing when the claim holds.
    std::optional<std::string> unguardedWhy() const;
    // The claim becomes this program's open hold, without letting go in
    // between: the project it replaced is the one now open here.
    std::unique_ptr<platform::FileLock> keepOpen();
    // The project is gone: so is its lock file.
    void projectDeleted();

private:
    std::string folder_, name_, path_;
    std::unique_ptr<platform::FileLock> run_;
    std::unique_ptr<platform::FileLock> open_;
    bool madeFile_ = false;
    bool keepFile_ = false;
};

}  // namespace quor::project
