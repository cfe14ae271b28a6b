#include "refused_writes.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace {

struct Limit {
    dev_t dev = 0;
    ino_t ino = 0;
    std::size_t left = 0;
    int refused = 0;
};

std::mutex guard;
Limit* armed = nullptr;

using PwriteFn = ssize_t (*)(int, const void*, size_t, off_t);

PwriteFn realPwrite() {
    static const auto real = reinterpret_cast<PwriteFn>(::dlsym(RTLD_NEXT, "pwrite"));
    return real;
}

}  // namespace

// Stands in for the system's pwrite() in the programs that use the double.
extern "C" ssize_t pwrite(int fd, const void* buf, size_t n, off_t offset) {
    {
        std::lock_guard lock(guard);
        struct stat st {};
        if (armed && ::fstat(fd, &st) == 0 && st.st_dev == armed->dev && st.st_ino == armed->ino) {
            if (n > armed->left) {
                ++armed->refused;
                errno = ENOSPC;
                return -1;
            }
            armed->left -= n;
        }
    }
    return realPwrite()(fd, buf, n, offset);
}

namespace quor::test {

RefusedWrites::RefusedWrites(const std::string& path, std::size_t bytes) {
    struct stat st {};
    auto* limit = new Limit;
    if (::stat(path.c_str(), &st) == 0) {
        limit->dev = st.st_dev;
        limit->ino = st.st_ino;
    }
    limit->left = bytes;
    std::lock_guard lock(guard);
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
