#include "platform/disk_writes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
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

std::optional<std::uint64_t> freeSpace(const std::string& path) {
    struct statvfs fs {};
    if (::statvfs(path.c_str(), &fs) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

}  // namespace quor::platform
