#pragma once
// The moment just before a new version of a file is put in place: when
// this process next puts a file of a folder on disk (fsync), as it does
// with a new version that is complete, something runs first, once: another
// program's write, landing in the gap between the read and the rename.
#include <functional>
#include <string>

namespace quor::test {

class BeforeNextSync {
public:
    BeforeNextSync(const std::string& folder, std::function<void()> meanwhile);
    ~BeforeNextSync();
    BeforeNextSync(const BeforeNextSync&) = delete;
    BeforeNextSync& operator=(const BeforeNextSync&) = delete;

    // Whether it ran.
    bool ran() const;
};

}  // namespace quor::test
