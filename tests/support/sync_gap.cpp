#include "sync_gap.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <mutex>

namespace {

struct Gap {
    std::string folder;
    std::function<void()> meanwhile;
    int skip = 0;
    bool ran = false;
};

std::mutex guard;
Gap* armed = nullptr;

std::string pathOf(int fd) {
    char path[4096];
    const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

// Stands in for the system's own in the programs that use the double.
extern "C" int fsync(int fd) {
    static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
    std::function<void()> now;
    {
        std::lock_guard lock(guard);
        const std::string path = armed && !armed->ran ? pathOf(fd) : std::string();
        if (!path.empty() && (path == armed->folder || path.rfind(armed->folder + "/", 0) == 0) &&
            armed->skip-- == 0) {
            armed->ran = true;
            now = armed->meanwhile;
        }
    }
    if (now) now();
    return real(fd);
}

namespace quor::test {

BeforeNextSync::BeforeNextSync(const std::string& folder, std::function<void()> meanwhile, int skip) {
    char real[PATH_MAX];
    auto* gap = new Gap{::realpath(folder.c_str(), real) ? real : folder, std::move(meanwhile), skip};
    std::lock_guard lock(guard);
    armed = gap;
}

BeforeNextSync::~BeforeNextSync() {
    std::lock_guard lock(guard);
    delete armed;
    armed = nullptr;
}

bool BeforeNextSync::ran() const {
    std::lock_guard lock(guard);
    return armed && armed->ran;
}

}  // namespace quor::test
