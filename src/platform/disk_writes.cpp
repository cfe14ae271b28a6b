#include "platform/disk_writes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quor::platform {

bool isNoRoom(int err) { return err == ENOSPC || err == EDQUOT || err == EFBIG; }

std::string writeFailureText(int err) { return isNoRoom(err) ? kDiskFullText : std::strerror(err); }

int writeAllAt(int fd, std::string_view bytes, std::uint64_t offset) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n == 0)
            return EIO;
        else if (errno != EINTR)
            return errno;
    }
    return 0;
}

bool roomToGrow(const std::string& path, std::uint64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return true;
    struct stat st {};
    bool room = true;
    if (::fstat(fd, &st) == 0 && size > static_cast<std::uint64_t>(st.st_size)) {
        const int err = ::posix_fallocate(fd, st.st_size, static_cast<off_t>(size) - st.st_size);
        room = !isNoRoom(err);
        // The room was only asked for: the file keeps its old length.
        if (::ftruncate(fd, st.st_size) != 0) room = false;
    }
    ::close(fd);
    return room;
}

}  // namespace quor::platform
