#pragma once
// An operating-system lock on a file, held by one process at a time.
//
// The lock is an flock on a small file of its own, or on a data file that
// exists already, taken without waiting: a second process that tries
// while the first holds it is told so at once. The kernel lets it go when
// the holder ends, however it ends, so a crashed program never leaves it
// taken. The lock file itself stays.
//
// flock belongs to this object's own descriptor: GDAL may open and write
// the same file meanwhile, but a second object on the same file, even in
// this process, finds it held.
#include <string>

namespace quor::platform {

class ExclusiveFileLock {
public:
    enum class State {
        Held,          // this object holds the lock
        HeldElsewhere, // another holder has it
        Unavailable,   // the lock file cannot be opened (reason in error())
    };

    enum class IfMissing {
        Create,  // a lock file of its own, made when missing
        Leave,   // a data file: never made, Unavailable when missing
    };

    // Tries once to lock the file.
    explicit ExclusiveFileLock(const std::string& path, IfMissing ifMissing = IfMissing::Create);
    ~ExclusiveFileLock();
    ExclusiveFileLock(const ExclusiveFileLock&) = delete;
    ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

    State state() const { return state_; }
    bool held() const { return state_ == State::Held; }
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    int fd_ = -1;
    State state_ = State::Unavailable;
    std::string error_;
};

}  // namespace quor::platform
