#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quor::platform {

ExclusiveFileLock::ExclusiveFileLock(const std::string& path, IfMissing ifMissing) : path_(path) {
    // Close-on-exec: a program started from here must not keep the lock.
    const int create = ifMissing == IfMissing::Create ? O_CREAT : 0;
    fd_ = ::open(path.c_str(), O_RDWR | create | O_CLOEXEC, 0666);
    // Another user's file still locks: flock needs no write access.
    if (fd_ < 0 && errno == EACCES) fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        return;
    }
    int rc;
    do {
        rc = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        state_ = State::Held;
        return;
    }
    if (errno == EWOULDBLOCK) {
        state_ = State::HeldElsewhere;
    } else {
        error_ = std::strerror(errno);
    }
    ::close(fd_);
    fd_ = -1;
}

ExclusiveFileLock::~ExclusiveFileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the last descriptor releases the lock
}

}  // namespace quor::platform
