#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quor::platform {

namespace {

// Whether the descriptor is still the file at `path`: a lock file that its
// last user removed (or replaced) while this one was locking it is no
// longer the file the others lock.
bool stillAt(int fd, const std::string& path) {
    struct stat open {}, named {};
    if (::fstat(fd, &open) != 0 || ::stat(path.c_str(), &named) != 0) return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

struct flock lockRange(FileLock::Mode mode, int slot) {
    struct flock range {};
    range.l_type = mode == FileLock::Mode::Exclusive ? F_WRLCK : F_RDLCK;
    range.l_whence = SEEK_SET;
    range.l_start = slot;
    range.l_len = 1;
    return range;
}

// Whether a holder other than this descriptor has any lock on byte `slot`;
// `err` is set when the system cannot tell.
bool othersHold(int fd, int slot, int& err) {
    struct flock probe = lockRange(FileLock::Mode::Exclusive, slot);
    int rc;
    do {
        rc = ::fcntl(fd, F_OFD_GETLK, &probe);
    } while (rc != 0 && errno == EINTR);
    err = rc == 0 ? 0 : errno;
    return rc != 0 || probe.l_type != F_UNLCK;
}

bool lockNotKept(int err) { return err == ENOLCK || err == EINVAL || err == EOPNOTSUPP || err == ENOSYS; }

}  // namespace

FileLock::FileLock(const std::string& path, Mode mode, int slot, IfMissing ifMissing) : path_(path), slot_(slot) {
    // A removed lock file is made again; a few rounds settle any race.
    for (int attempt = 0; attempt < 8; ++attempt)
        if (tryOnce(mode, slot, ifMissing)) return;
    error_ = "the file keeps being replaced";
}

bool FileLock::tryOnce(Mode mode, int slot, IfMissing ifMissing) {
    // Close-on-exec: a program started from here must not keep the lock.
    fd_ = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0 && errno == ENOENT && ifMissing == IfMissing::Create) {
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno == EEXIST) return false;  // made by another meanwhile
        if (fd_ >= 0) created_ = true;
    }
    // Another account's lock file (made under its umask) opens for reading
    // only: the system takes no exclusive lock through such a descriptor,
    // so a shared one stands in for it.
    sharedInstead_ = false;
    if (fd_ < 0 && errno == EACCES) {
        fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        sharedInstead_ = fd_ >= 0 && mode == Mode::Exclusive;
    }
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        state_ = State::Unavailable;
        return true;
    }
    struct flock range = lockRange(sharedInstead_ ? Mode::Shared : mode, slot);
    int rc;
    do {
        rc = ::fcntl(fd_, F_OFD_SETLK, &range);
    } while (rc != 0 && errno == EINTR);
    int err = errno;
    // The stand-in keeps out whoever wants the slot exclusively, but not
    // another shared holder: one is looked for once this one is in place,
    // so that of two stand-ins at least one sees the other.
    if (rc == 0 && sharedInstead_ && othersHold(fd_, slot, err)) {
        rc = -1;
        if (err == 0) err = EAGAIN;
    }
    if (rc == 0) {
        if (!stillAt(fd_, path_)) {
            ::close(fd_);
            fd_ = -1;
            created_ = false;
            return false;
        }
        state_ = State::Held;
        return true;
    }
    if (err == EAGAIN || err == EACCES) {
        state_ = State::HeldElsewhere;
    } else if (lockNotKept(err)) {
        state_ = State::Unsupported;
        error_ = std::strerror(err);
    } else {
        state_ = State::Unavailable;
        error_ = std::strerror(err);
    }
    ::close(fd_);
    fd_ = -1;
    // Nothing came of the lock: a file made for it goes again, unless
    // another holder took it in the meantime.
    if (created_ && state_ != State::HeldElsewhere) ::unlink(path_.c_str());
    created_ = false;
    return true;
}

void FileLock::share() {
    if (fd_ < 0) return;
    // A lock of the same description over the same byte is converted in place.
    struct flock range = lockRange(Mode::Shared, slot_);
    while (::fcntl(fd_, F_OFD_SETLK, &range) != 0 && errno == EINTR) {
    }
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the descriptor releases its locks
}

}  // namespace quor::platform
