#include "exchanges.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {

struct Armed {
    std::string folder;
    int err = 0;
    int through = 0;
    std::function<void()> afterFirst;
    int went = 0, refused = 0;
};

std::mutex guard;
Armed* armed = nullptr;

std::string folderOf(int dirfd, const char* path) {
    std::string p = path;
    if (p.empty() || p[0] != '/') {
        char cwd[PATH_MAX];
        const std::string base = dirfd == AT_FDCWD ? (::getcwd(cwd, sizeof cwd) ? cwd : "")
                                                   : "/proc/self/fd/" + std::to_string(dirfd);
        p = base + "/" + p;
    }
    const std::size_t slash = p.rfind('/');
    const std::string folder = slash == 0 ? "/" : p.substr(0, slash);
    char real[PATH_MAX];
    return ::realpath(folder.c_str(), real) ? real : folder;
}

}  // namespace

// Stands in for the system's own in the programs that use the double.
extern "C" int renameat2(int olddirfd, const char* oldpath, int newdirfd, const char* newpath, unsigned int flags) noexcept {
    using Fn = int (*)(int, const char*, int, const char*, unsigned int);
    static const auto real = reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, "renameat2"));
    std::function<void()> then;
    {
        std::lock_guard lock(guard);
        if (armed && (flags & RENAME_EXCHANGE) && folderOf(olddirfd, oldpath) == armed->folder) {
            if (armed->err != 0 && armed->went >= armed->through) {
                ++armed->refused;
                errno = armed->err;
                return -1;
            }
            if (armed->went++ == 0) then = armed->afterFirst;
        }
    }
    const int done = real(olddirfd, oldpath, newdirfd, newpath, flags);
    if (done == 0 && then) then();
    return done;
}

namespace quor::test {

Exchanges::Exchanges(const std::string& folder, int err, int through, std::function<void()> afterFirst) {
    char real[PATH_MAX];
    auto* a = new Armed{::realpath(folder.c_str(), real) ? real : folder, err, through, std::move(afterFirst)};
    std::lock_guard lock(guard);
    if (armed) {
        std::fputs("Exchanges: one disk at a time\n", stderr);
        std::abort();
    }
    armed = a;
}

Exchanges::~Exchanges() {
    std::lock_guard lock(guard);
    delete armed;
    armed = nullptr;
}

int Exchanges::refused() const {
    std::lock_guard lock(guard);
    return armed ? armed->refused : 0;
}

}  // namespace quor::test
