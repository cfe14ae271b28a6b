#include "platform/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

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

namespace {

// Beside `target`, the `n`-th name a file another program wrote is kept under.
std::string keptName(const std::string& target, int n) {
    const fs::path p(target);
    return (p.parent_path() / (p.stem().string() + ".edited" + (n > 1 ? "-" + std::to_string(n) : "") +
                               p.extension().string()))
        .string();
}

constexpr int kKeptNames = 1000;

// Copies the bytes of the open file `fd` into a new file `to`, with its
// permissions, and puts it on disk. 0, or the error number (EEXIST when
// `to` exists); nothing stays under `to` on failure.
int copyInto(int fd, const std::string& to) {
    struct stat st {};
    const mode_t mode = ::fstat(fd, &st) == 0 ? st.st_mode & 07777 : 0666;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) return errno;
    std::string block(1 << 20, '\0');
    int err = 0;
    for (std::uint64_t at = 0;;) {
        const ssize_t got = ::pread(fd, block.data(), block.size(), static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) err = errno;
        if (got <= 0 || (err = writeAllAt(out, std::string_view(block.data(), static_cast<std::size_t>(got)), at)))
            break;
        at += static_cast<std::uint64_t>(got);
    }
    if (!err && ::fchmod(out, mode) != 0) err = errno;
    if (!err && ::fsync(out) != 0) err = errno;
    if (::close(out) != 0 && !err) err = errno;
    if (!err) err = syncFolderOf(to);
    if (err) ::unlink(to.c_str());
    return err;
}

std::string keptFailure(const std::string& target, int err) {
    return "Cannot keep another program's version of " + target + " beside it: " + writeFailureText(err);
}

}  // namespace

std::string keepBeside(int fd, const std::string& target) {
    int err = EEXIST;
    for (int n = 1; n <= kKeptNames && err == EEXIST; ++n) {
        const std::string kept = keptName(target, n);
        if ((err = copyInto(fd, kept)) == 0) return kept;
    }
    throw FileError(keptFailure(target, err));
}

std::string keepBeside(const std::string& from, const std::string& target) {
    int err = EEXIST;
    for (int n = 1; n <= kKeptNames && err == EEXIST; ++n) {
        const std::string kept = keptName(target, n);
        if ((err = renameWithoutReplacing(from, kept)) != 0) continue;
        syncFolderOf(kept);
        return kept;
    }
    // A disk that refuses the rename may still take a copy.
    const int fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw FileError(keptFailure(target, err));
    try {
        std::string kept = keepBeside(fd, target);
        ::close(fd);
        return kept;
    } catch (...) {
        ::close(fd);
        throw;
    }
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

namespace {

std::function<void(const std::string&)>& betweenLookAndExchange() {
    static std::function<void(const std::string&)> pause;
    return pause;
}

// A disk without an exchange of two names says so in one of these.
bool noExchange(int err) { return err == EINVAL || err == ENOSYS || err == ENOTSUP || err == EOPNOTSUPP; }

int exchangeFiles(const std::string& a, const std::string& b) {
    return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0 ? 0 : errno;
}

}  // namespace

void FileReplacement::setBetweenLookAndExchange(std::function<void(const std::string&)> pause) {
    betweenLookAndExchange() = std::move(pause);
}

void FileReplacement::commit(const OldFileCheck& requireOld) {
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
    const FileStamp written = stampOfOpenFile(fd_);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail("write file", errno);
    if (putInPlace(requireOld, written)) {
        // What was moved aside is the old file, looked at once more; an
        // edit written into it from now on is seen by whoever holds it open.
        ::unlink(partial_.c_str());
    }
    partial_.clear();
    requireNewInPlace(written);
    if (const int err = syncFolderOf(target_))
        throw UnconfirmedError("The file " + target_ + " was replaced, but the disk did not confirm that it keeps it: " +
                                   writeFailureText(err) + ".",
                               err);
}

bool FileReplacement::putInPlace(const OldFileCheck& requireOld, const FileStamp& written) {
    if (requireOld) requireOld(target_, false);
    if (const auto& pause = betweenLookAndExchange()) pause(target_);
    // A folder in the file's place is never the file: a rename fails on it,
    // an exchange would move it aside.
    struct stat there {};
    const bool folder = ::lstat(target_.c_str(), &there) == 0 && S_ISDIR(there.st_mode);
    int err = folder ? EINVAL : exchangeFiles(partial_, target_);
    if (err == 0) {
        struct stat aside {};
        if (::lstat(partial_.c_str(), &aside) != 0 || !S_ISREG(aside.st_mode)) {
            exchangeFiles(partial_, target_);
            const int why = S_ISDIR(aside.st_mode) ? EISDIR : EINVAL;
            throw WriteError("Cannot replace file " + target_ + ": " + writeFailureText(why), why);
        }
        if (!requireOld) return true;
        try {
            requireOld(partial_, true);
        } catch (...) {
            // The old file, with whatever another program wrote into it,
            // goes back; the new version goes with this object.
            putBack(written);
            throw;
        }
        return true;
    }
    // No old file to exchange with (one that was looked at is gone: the
    // look tells so), or a disk without an exchange: one rename, as the
    // last look left it.
    if (err == ENOENT && requireOld) requireOld(target_, false);
    if (err != ENOENT && !noExchange(err))
        throw WriteError("Cannot replace file " + target_ + ": " + writeFailureText(err), err);
    if (::rename(partial_.c_str(), target_.c_str()) != 0) {
        err = errno;
        throw WriteError("Cannot replace file " + target_ + ": " + writeFailureText(err), err);
    }
    return false;
}

void FileReplacement::putBack(const FileStamp& written) {
    // Put back over another program's write at the new version's place,
    // the old file would throw that write away.
    const bool asWritten = unwrittenSince(written, stampOfFile(target_));
    const int back = asWritten ? exchangeFiles(partial_, target_) : 0;
    if (asWritten && back == 0) return;
    std::string where;
    try {
        where = "is kept as " + keepBeside(partial_, target_);
    } catch (const FileError& e) {
        where = "could not be kept under another name (" + std::string(e.what()) + "): it is left as " + partial_ +
                ", which the next change of the file removes; please move it elsewhere first";
        partial_.clear();
    }
    if (asWritten)
        throw KeptBesideError("The file " + target_ + " was written by another program as this program replaced it, "
                              "and the old file cannot be put back (" + writeFailureText(back) + "): the file at " +
                              target_ + " is this program's new version, and the old one, with that program's edit, " +
                              where + ".");
    throw KeptBesideError("The file " + target_ + " was written by another program as this program replaced it, and "
                          "written or replaced again at its place: the file at " + target_ +
                          " is as that program left it, and the old file, with the first edit, " + where + ".");
}

void FileReplacement::requireNewInPlace(const FileStamp& written) const {
    if (!unwrittenSince(written, stampOfFile(target_)))
        throw WrittenMeanwhileError("The file " + target_ +
                                    " was written or replaced by another program just as this program put its new "
                                    "version in place; the other program's file is kept as it is.");
}

}  // namespace quor::platform
