#pragma once
// The moments around a new version of a file put in place: when this
// process puts a file of a folder on disk (fsync), as it does with a new
// version that is complete just before the rename, or the folder itself,
// as it does just after, something runs first, once: another program's
// write, landing in the gap. `skip` syncs go by before it.
#include <functional>
#include <string>

namespace quor::test {

class BeforeNextSync {
public:
    BeforeNextSync(const std::string& folder, std::function<void()> meanwhile, int skip = 0);
    ~BeforeNextSync();
    BeforeNextSync(const BeforeNextSync&) = delete;
    BeforeNextSync& operator=(const BeforeNextSync&) = delete;

    // Whether it ran.
    bool ran() const;
};

}  // namespace quor::test
