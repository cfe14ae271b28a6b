#pragma once
// The exchange of two files' names (renameat2 with RENAME_EXCHANGE) in one
// folder as a disk may answer it: a file system without it (FUSE, many
// network and cluster disks) refuses every one with EINVAL, a failing disk
// one with EIO; or another program's write lands just after one went
// through. For its scope, in this process, one at a time.
#include <functional>
#include <string>

namespace quor::test {

class Exchanges {
public:
    // After `through` exchanges in `folder` went through, each fails with
    // `err` (never, when 0). `afterFirst` runs once, just after the first
    // that went through.
    Exchanges(const std::string& folder, int err, int through = 0, std::function<void()> afterFirst = {});
    ~Exchanges();
    Exchanges(const Exchanges&) = delete;
    Exchanges& operator=(const Exchanges&) = delete;

    // How many were refused.
    int refused() const;
};

}  // namespace quor::test
