#pragma once
// What a run holds against other programs for as long as it lasts: the
// lock of its project (which guards the project geodatabase as well) and
// a lock on the point shapefile it writes into, so that two projects that
// both added one shapefile never run on it at the same time.
#include <optional>
#include <string>

#include "platform/file_lock.h"

namespace quor::project {

class RunLocks {
public:
    // Tries each lock once, without waiting. An empty project folder or
    // name takes no project lock, an empty dataset file no dataset lock.
    // A lock that cannot be had for want of a file leaves the run
    // unguarded, as runs always were there.
    RunLocks(const std::string& projectFolder, const std::string& projectName, const std::string& datasetFile);
    RunLocks(const RunLocks&) = delete;
    RunLocks& operator=(const RunLocks&) = delete;

    // True when another program runs the project or writes the dataset.
    bool heldElsewhere() const;

private:
    std::optional<platform::ExclusiveFileLock> project_;
    std::optional<platform::ExclusiveFileLock> dataset_;
};

// The attribute table (".dbf", either case) of the shapefile `name` in
// `folder`, the file a run writes its results into; empty when missing.
// It is locked rather than a file of our own, so that nothing new ever
// appears beside the user's data.
std::string shapefileTablePath(const std::string& folder, const std::string& name);

}  // namespace quor::project
