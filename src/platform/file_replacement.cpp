#include "platform/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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
// 0, or the error number of the step that failed.
int syncFolderOf(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int err = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    // Some file systems cannot put a folder on disk on demand, and say so.
    return err == EINVAL || err == EBADF ? 0 : err;
}

// A name's 64-bit FNV-1a digest in hexadecimal: the same name gives the
// same digest in every run, so that a half-made file is found again.
std::string digestOf(const std::string& name) {
    std::uint64_t h = 14695981039346656037ULL;
    for (unsigned char c : name) h = (h ^ c) * 1099511628211ULL;
    static const char* const digits = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, h >>= 4) out[static_cast<std::size_t>(i)] = digits[h & 15];
    return out;
}

}  // namespace

int renameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    const int err = errno;
    if (err != EINVAL && err != ENOSYS && err != ENOTSUP) return err;
    // A file system without that kind of rename: a new link fails on an
    // existing name just as surely, and the old name then goes.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    ::unlink(from.c_str());
    return 0;
}

std::string FileReplacement::partialPath(const std::string& target) {
    const fs::path p(followed(target));
    return (p.parent_path() / (".quor-new-" + digestOf(p.filename().string()))).string();
}

void FileReplacement::clearPartial(const std::string& target) {
    ::unlink(partialPath(target).c_str());
    const fs::path p(followed(target));
    ::unlink((p.parent_path() / ("." + p.filename().string() + ".quor-new")).c_str());
}

FileReplacement::FileReplacement(const std::string& target)
    : target_(followed(target)), partial_(partialPath(target)) {
    clearPartial(target_);
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

void FileReplacement::commit(const std::function<void()>& beforeRename) {
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
    if (beforeRename) beforeRename();
    if (::rename(partial_.c_str(), target_.c_str()) != 0) {
        const int err = errno;
        throw WriteError("Cannot replace file " + target_ + ": " + writeFailureText(err), err);
    }
    partial_.clear();
    if (const int err = syncFolderOf(target_))
        throw UnconfirmedError("The file " + target_ + " was replaced, but the disk did not confirm that it keeps it: " +
                                   writeFailureText(err) + ".",
                               err);
}

}  // namespace quor::platform
