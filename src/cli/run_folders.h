#pragma once
// The folders a run keeps for its own length: the working copy of the
// sites (in $TMPDIR) and the output being made (beside the output). Each
// is named for the machine and the process that made it, holds a lock
// for as long as the run lives, and goes with everything in it however
// the run ends; one a killed run left behind is removed by a later run,
// once its lock is free, whatever machine or process namespace made it.
#include <functional>
#include <memory>
#include <string>

namespace quor::platform {
class FileLock;
}

namespace quor::cli {

inline constexpr const char* kWorkingCopyPrefix = "quor-run-";
inline constexpr const char* kStagingPrefix = ".quor-run-";

class RunFolder {
public:
    // Makes "<prefix><machine>-<process id>-XXXXXX" in `parent`, its lock
    // taken. std::runtime_error, with the system's reason, when it cannot
    // be made.
    RunFolder(const std::string& parent, const std::string& prefix);
    // Removes the folder with everything in it.
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::unique_ptr<platform::FileLock> lock_;
};

// Removes the folders of `prefix` in `parent` that a killed run left
// behind: those whose lock is free. Where the disk keeps no locks, or a
// folder has none (an earlier version's), one this machine made whose
// process is gone. A folder of a run still going stays. `settle` is
// given each folder to be removed first, to finish what the killed run
// left half done there.
void removeLeftFolders(const std::string& parent, const std::string& prefix,
                       const std::function<void(const std::string& folder)>& settle = {});

}  // namespace quor::cli
