#pragma once
// The folders a run keeps for its own length: the working copy of the
// sites (in $TMPDIR) and the output being made (beside the output). Each
// is named for the machine and the process that made it, and goes with
// everything in it however the run ends; one a killed run left behind is
// removed by a later run, once its process is gone.
#include <string>

namespace quor::cli {

inline constexpr const char* kWorkingCopyPrefix = "quor-run-";
inline constexpr const char* kStagingPrefix = ".quor-run-";

class RunFolder {
public:
    // Makes "<prefix><machine>-<process id>-XXXXXX" in `parent`.
    // std::runtime_error, with the system's reason, when it cannot be made.
    RunFolder(const std::string& parent, const std::string& prefix);
    // Removes the folder with everything in it.
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Removes the folders of `prefix` in `parent` that a run on this machine
// left behind when it was killed: those whose process is gone. A folder of
// a run still going, or of another machine's, stays.
void removeLeftFolders(const std::string& parent, const std::string& prefix);

}  // namespace quor::cli
