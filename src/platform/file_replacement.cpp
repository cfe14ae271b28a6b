#include "platform/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/disk_writes.h"

namespace fs = std::filesystem;

namespace quor::platform {

namespace {

std::string followed(const std::string& path) {
    std::error_code ec;
    if (!fs::is_symlink(path, ec)) return path;
    const fs::path real = fs::canonical(path, ec);
    return ec ? path : real.string();
}

// The rename is only lasting once the folder that lists it is on disk.
void syncFolderOf(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::string FileReplacement::partialPath(const std::string& target) {
    const fs::path p(followed(target));
    return (p.parent_path() / ("." + p.filename().string() + ".quor-new")).string();
}

FileReplacement::FileReplacement(const std::string& target)
    : target_(followed(target)), partial_(partialPath(target)) {
    ::unlink(partial_.c_str());
    // Made as any new file of the user's: a new file keeps these permissions.
    fd_ = ::open(partial_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0) throw WriteError("Cannot write file " + target_ + ": " + writeFailureText(errno), errno);
}

FileReplacement::~FileReplacement() {
    if (fd_ >= 0) ::close(fd_);
    if (!partial_.empty()) ::unlink(partial_.c_str());
}

void FileReplacement::fail(const std::string& what, int err) {
    throw WriteError("Cannot " + what + " " + target_ + ": " + writeFailureText(err), err);
}

void FileReplacement::reserve(std::uint64_t size) {
    if (size == 0) return;
    const int err = ::posix_fallocate(fd_, 0, static_cast<off_t>(size));
    // A file system that cannot set room aside answers when written to.
    if (err != 0 && err != EOPNOTSUPP && err != EINVAL) fail("write file", err);
}

void FileReplacement::append(std::string_view bytes) {
    if (const int err = writeAllAt(fd_, bytes, size_)) fail("write file", err);
    size_ += bytes.size();
}

void FileReplacement::commit() {
    // Room set aside beyond the end would be kept as part of the file.
    if (::ftruncate(fd_, static_cast<off_t>(size_)) != 0) fail("write file", errno);
    struct stat old {};
    if (::stat(target_.c_str(), &old) == 0) {
        // Whoever could use the old file can use the new one. Only an
        // administrator may give a file to another account, and some disks
        // keep no owners or permissions at all: this is done where it can be.
        const int owned = ::fchown(fd_, ::geteuid() == 0 ? old.st_uid : static_cast<uid_t>(-1), old.st_gid);
        const int permitted = ::fchmod(fd_, old.st_mode & 07777);
        (void)owned;
        (void)permitted;
    }
    if (::fsync(fd_) != 0) fail("write file", errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail("write file", errno);
    if (::rename(partial_.c_str(), target_.c_str()) != 0) {
        const int err = errno;
        throw WriteError("Cannot replace file " + target_ + ": " + writeFailureText(err), err);
    }
    partial_.clear();
    syncFolderOf(target_);
}

}  // namespace quor::platform
