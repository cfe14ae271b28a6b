#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quor::test {

TempDir::TempDir() {
    if (!dir_.isValid()) throw std::runtime_error("cannot create a temporary folder");
    path_ = dir_.path().toStdString();
}

std::string TempDir::file(const std::string& name) const { return path_ + "/" + name; }

void RecordingMessages::message(const std::string& text, platform::MessageIcon icon, const std::string& title) {
    entries.push_back({text, icon, title, false});
    if (onMessage) onMessage(text);
}

bool RecordingMessages::question(const std::string& text, const std::string& title) {
    entries.push_back({text, platform::MessageIcon::Question, title, true});
    if (onQuestion) onQuestion(text);
    if (answers.empty()) return defaultAnswer;
    bool a = answers.front();
    answers.erase(answers.begin());
    return a;
}

std::vector<std::string> RecordingMessages::texts() const {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(e.text);
    return out;
}

void RecordingProgress::setValue(int bar, int value) {
    if (bar == 2) {
        value2 = value;
    } else {
        value1 = value;
        bar1History.push_back(value);
    }
}

void RecordingProgress::setLabel(int label, const std::string& text) {
    (label == 3 ? label3 : label == 2 ? label2 : label1) = text;
}

std::string RecordingProgress::label(int label) const {
    return label == 3 ? label3 : label == 2 ? label2 : label1;
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::map<std::string, std::string> folderBytes(const std::string& folder) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder, ec))
        if (e.is_regular_file()) out[std::filesystem::relative(e.path(), folder).string()] = fileBytes(e.path().string());
    return out;
}

ScopedVariable::ScopedVariable(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* v = std::getenv(name_.c_str())) saved_ = v;
    setenv(name_.c_str(), value.c_str(), 1);
}

ScopedVariable::~ScopedVariable() {
    if (saved_)
        setenv(name_.c_str(), saved_->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

LoweredLimit::LoweredLimit(int resource, rlim_t value) : resource_(resource) {
    getrlimit(resource_, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = value;
    setrlimit(resource_, &lowered);
}

LoweredLimit::~LoweredLimit() { setrlimit(resource_, &saved_); }

FullDisk::FullDisk(rlim_t bytes) : oldSignal_(std::signal(SIGXFSZ, SIG_IGN)), limit_(RLIMIT_FSIZE, bytes) {}

FullDisk::~FullDisk() { std::signal(SIGXFSZ, oldSignal_); }

namespace {

rlim_t addressSpaceInUse() {
    std::ifstream status("/proc/self/status");
    std::string word;
    rlim_t kb = 0;
    while (status >> word)
        if (word == "VmSize:") status >> kb;
    return kb * 1024;
}

}  // namespace

AddressSpaceCap::AddressSpaceCap(rlim_t room) : limit_(RLIMIT_AS, addressSpaceInUse() + room) {}

namespace {

// Sets or clears the disk's mark that keeps a file as it is, even from the
// superuser; false where the disk has no such mark.
bool markImmutable(const std::string& path, bool on) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

}  // namespace

ReadOnlyFiles::ReadOnlyFiles(std::vector<std::string> paths) : paths_(std::move(paths)) {
    for (const auto& p : paths_) ::chmod(p.c_str(), 0444);
    if (::geteuid() != 0) {
        binding_ = true;
        return;
    }
    immutable_ = true;
    for (const auto& p : paths_) immutable_ = markImmutable(p, true) && immutable_;
    binding_ = immutable_;
}

ReadOnlyFiles::~ReadOnlyFiles() {
    // The temporary folder must be removable again.
    for (const auto& p : paths_) {
        markImmutable(p, false);
        ::chmod(p.c_str(), 0644);
    }
}

std::string portPhillipFolder() { return QUOR_EXAMPLE_DATA; }

bool portPhillipPresent() { return QFileInfo::exists(QDir(QStringLiteral(QUOR_EXAMPLE_DATA)).filePath("water_portphillip.shp")); }

}  // namespace quor::test
