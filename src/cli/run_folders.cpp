#include "cli/run_folders.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "platform/file_lock.h"

namespace quor::cli {

namespace {

namespace fs = std::filesystem;

// The lock every run folder holds while its run lives. It is made under
// another name and takes its own only once locked, so that a later run
// never finds it there and free while its run is still taking it.
constexpr const char* kLockName = "run.lock";
constexpr const char* kLockBeingTaken = "run.lock.new";

// A folder without a lock of this age or younger may be one whose run is
// still taking it.
constexpr auto kYoungestUnlocked = std::chrono::minutes(1);

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

// Whether this machine's process that named the folder is gone. Another
// machine's, or one of a process namespace of its own, may have the same
// name and number and live: only a lock tells those apart.
bool processGone(const fs::path& folder, const std::string& prefix) {
    const pid_t pid = processOf(folder.filename().string(), prefix);
    return pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
}

bool old(const fs::path& folder) {
    std::error_code ec;
    const auto changed = fs::last_write_time(folder, ec);
    return !ec && fs::file_time_type::clock::now() - changed > kYoungestUnlocked;
}

// Whether the run that made `folder` is over: its lock is free (then held
// by `lock` until the folder is gone).
bool runOver(const fs::path& folder, const std::string& prefix, std::unique_ptr<platform::FileLock>& lock) {
    std::error_code ec;
    const fs::path lockFile = folder / kLockName;
    if (!fs::exists(fs::symlink_status(lockFile, ec))) return processGone(folder, prefix) && old(folder);
    lock = std::make_unique<platform::FileLock>(lockFile.string(), platform::FileLock::Mode::Exclusive, 0,
                                                platform::FileLock::IfMissing::Leave);
    if (lock->held()) return true;
    return lock->unsupported() && processGone(folder, prefix);
}

}  // namespace

RunFolder::RunFolder(const std::string& parent, const std::string& prefix) {
    std::string name = (fs::path(parent) / (prefix + ownPart() + "XXXXXX")).string();
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) throw std::runtime_error(std::strerror(errno));
    path_ = buf.data();
    const std::string taking = (fs::path(path_) / kLockBeingTaken).string();
    lock_ = std::make_unique<platform::FileLock>(taking, platform::FileLock::Mode::Exclusive);
    // A disk that keeps no locks leaves the folder to the process rule.
    if (lock_->held() && ::rename(taking.c_str(), (fs::path(path_) / kLockName).c_str()) != 0) {
        const int err = errno;
        lock_.reset();
        std::error_code ec;
        fs::remove_all(path_, ec);
        throw std::runtime_error(std::strerror(err));
    }
}

RunFolder::~RunFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
    lock_.reset();
}

void removeLeftFolders(const std::string& parent, const std::string& prefix,
                       const std::function<void(const std::string&)>& settle) {
    std::error_code ec;
    for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code ignored;
        if (name.rfind(prefix, 0) != 0 || !it->is_directory(ignored) || it->is_symlink(ignored)) continue;
        std::unique_ptr<platform::FileLock> lock;
        if (!runOver(it->path(), prefix, lock)) continue;
        if (settle) settle(it->path().string());
        fs::remove_all(it->path(), ignored);
    }
}

}  // namespace quor::cli
