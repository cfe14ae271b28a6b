#pragma once
// A lock on a file, shared between programs.
//
// One file can carry several independent locks: each lock takes one byte
// of it (its slot), shared or exclusive, through the system's
// open-file-description locks. A program that has a project open holds one
// slot shared while a run holds another exclusively, and neither stands in
// the other's way.
//
// The lock is tried once, without waiting: a second program that tries
// while the first holds it is told so at once. The kernel lets it go when
// the holder ends, however it ends, so a crashed program never leaves it
// taken. The lock belongs to this object's own descriptor: GDAL may open and
// write the same file meanwhile, but a second object on the same file, even
// in this process, finds a conflicting lock held.
#include <string>

namespace quor::platform {

class FileLock {
public:
    enum class Mode { Shared, Exclusive };

    enum class State {
        Held,          // this object holds the lock
        HeldElsewhere, // another holder has a lock that conflicts
        Unsupported,   // the file's disk keeps no locks (some network disks)
        Unavailable,   // the lock file cannot be opened (reason in error())
    };

    enum class IfMissing {
        Create,  // a lock file of its own, made when missing
        Leave,   // a data file: never made, Unavailable when missing
    };

    // Tries once to lock byte `slot` of the file.
    FileLock(const std::string& path, Mode mode, int slot = 0, IfMissing ifMissing = IfMissing::Create);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // An exclusive lock held becomes a shared one, without letting go in
    // between: whoever waited for the exclusive holder to finish still
    // finds the file held.
    void share();

    State state() const { return state_; }
    bool held() const { return state_ == State::Held; }
    bool heldElsewhere() const { return state_ == State::HeldElsewhere; }
    bool unsupported() const { return state_ == State::Unsupported; }
    // True when an exclusive lock was asked on a lock file that this user
    // may only read (another account's): the lock is held shared instead.
    // Whoever wants the slot exclusively still finds it held, and a stand-in
    // finds any other holder, but a holder that asks only for a shared lock
    // gets it as well.
    bool sharedInstead() const { return sharedInstead_ && held(); }
    // True when this lock made the lock file: whoever gives up what it was
    // taken for removes the file again, so that nothing is left behind.
    bool createdFile() const { return created_; }
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }

private:
    bool tryOnce(Mode mode, int slot, IfMissing ifMissing);

    std::string path_;
    int slot_ = 0;
    int fd_ = -1;
    State state_ = State::Unavailable;
    bool created_ = false;
    bool sharedInstead_ = false;
    std::string error_;
};

}  // namespace quor::platform
