#include "cli/run_folders.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace quor::cli {

namespace {

namespace fs = std::filesystem;

std::string machine() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "host";
    // The name goes into a file name.
    std::string m(name);
    for (auto& c : m)
        if (c == '/' || c == '-') c = '_';
    return m;
}

std::string ownPart() { return machine() + "-" + std::to_string(::getpid()) + "-"; }

// The process id of a folder named "<prefix><machine>-<pid>-XXXXXX" by
// this machine, or 0.
pid_t processOf(const std::string& name, const std::string& prefix) {
    const std::string mine = prefix + machine() + "-";
    if (name.rfind(mine, 0) != 0 || name.size() < mine.size() + 8) return 0;
    const std::string rest = name.substr(mine.size());
    const auto dash = rest.find('-');
    if (dash == std::string::npos || dash == 0 || rest.size() - dash - 1 != 6) return 0;
    pid_t pid = 0;
    for (std::size_t i = 0; i < dash; ++i) {
        if (rest[i] < '0' || rest[i] > '9' || pid > 100000000) return 0;
        pid = pid * 10 + (rest[i] - '0');
    }
    return pid;
}

}  // namespace

RunFolder::RunFolder(const std::string& parent, const std::string& prefix) {
    std::string name = (fs::path(parent) / (prefix + ownPart() + "XXXXXX")).string();
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) throw std::runtime_error(std::strerror(errno));
    path_ = buf.data();
}

RunFolder::~RunFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void removeLeftFolders(const std::string& parent, const std::string& prefix) {
    std::error_code ec;
    for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
        const pid_t pid = processOf(it->path().filename().string(), prefix);
        if (pid <= 0 || pid == ::getpid()) continue;
        // Only a process that is gone: one that lives, whoever's, may be using it.
        if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
        std::error_code ignored;
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) fs::remove_all(it->path(), ignored);
    }
}

}  // namespace quor::cli
