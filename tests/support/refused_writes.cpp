#include "refused_writes.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <mutex>
#include <string>

namespace {

struct Limit {
    dev_t dev = 0;
    ino_t ino = 0;
    std::string folder;  // every file in it, when a folder was given
    std::size_t left = 0;
    bool cutShort = false;
    int refused = 0;

    bool holds(int fd) const {
        struct stat st {};
        if (::fstat(fd, &st) != 0) return false;
        if (folder.empty()) return st.st_dev == dev && st.st_ino == ino;
        char path[4096];
        const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path - 1);
        return n > 0 && std::string(path, static_cast<std::size_t>(n)).rfind(folder + "/", 0) == 0;
    }
};

std::mutex guard;
Limit* armed = nullptr;

using PwriteFn = ssize_t (*)(int, const void*, size_t, off_t);
using Pwrite64Fn = ssize_t (*)(int, const void*, size_t, off64_t);

// How many of `n` more bytes of the file `fd` the disk takes: all, the
// first part of them, or none (-1, with errno set as a full disk sets it).
ssize_t taken(int fd, size_t n) {
    std::lock_guard lock(guard);
    if (!armed || !armed->holds(fd)) return static_cast<ssize_t>(n);
    if (n > armed->left) {
        const size_t part = armed->cutShort ? armed->left : 0;
        armed->left -= part;
        if (part > 0) return static_cast<ssize_t>(part);
        ++armed->refused;
        errno = ENOSPC;
        return -1;
    }
    armed->left -= n;
    return static_cast<ssize_t>(n);
}

}  // namespace

// Stand in for the system's own in the programs that use the double: this
// program's writes and those of the libraries it loads (SQLite's among them).
extern "C" ssize_t pwrite(int fd, const void* buf, size_t n, off_t offset) {
    static const auto real = reinterpret_cast<PwriteFn>(::dlsym(RTLD_NEXT, "pwrite"));
    const ssize_t part = taken(fd, n);
    return part < 0 ? -1 : real(fd, buf, static_cast<size_t>(part), offset);
}

extern "C" ssize_t pwrite64(int fd, const void* buf, size_t n, off64_t offset) {
    static const auto real = reinterpret_cast<Pwrite64Fn>(::dlsym(RTLD_NEXT, "pwrite64"));
    const ssize_t part = taken(fd, n);
    return part < 0 ? -1 : real(fd, buf, static_cast<size_t>(part), offset);
}

namespace quor::test {

RefusedWrites::RefusedWrites(const std::string& path, std::size_t bytes, Past past) {
    struct stat st {};
    auto* limit = new Limit;
    if (::stat(path.c_str(), &st) == 0) {
        limit->dev = st.st_dev;
        limit->ino = st.st_ino;
        if (S_ISDIR(st.st_mode)) {
            char real[4096];
            limit->folder = ::realpath(path.c_str(), real) ? real : path;
        }
    }
    limit->left = bytes;
    limit->cutShort = past == Past::CutShort;
    std::lock_guard lock(guard);
    // One disk at a time: a second would take the first's place and leave
    // it armed for no one.
    if (armed) {
        std::fputs("RefusedWrites: one disk at a time\n", stderr);
        std::abort();
    }
    armed = limit;
}

RefusedWrites::~RefusedWrites() {
    std::lock_guard lock(guard);
    delete armed;
    armed = nullptr;
}

int RefusedWrites::refused() const {
    std::lock_guard lock(guard);
    return armed ? armed->refused : 0;
}

}  // namespace quor::test
