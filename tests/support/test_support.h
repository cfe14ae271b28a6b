#pragma once
// Helpers every test suite shares: temporary folders, recording fakes of
// the user-facing interfaces, and the Port Phillip example of the checkout.
#include <QTemporaryDir>

#include <sys/resource.h>

#include <csignal>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/feedback.h"

namespace quor::test {

// A temporary folder removed when the test ends.
class TempDir {
public:
    TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const;

private:
    QTemporaryDir dir_;
    std::string path_;
};

// Records every message and question with its exact text; questions are
// answered from a queue (Yes when it runs dry unless told otherwise).
class RecordingMessages final : public platform::Messages {
public:
    struct Entry {
        std::string text;
        platform::MessageIcon icon;
        std::string title;
        bool isQuestion;
    };
    void message(const std::string& text, platform::MessageIcon icon, const std::string& title) override;
    bool question(const std::string& text, const std::string& title) override;

    std::vector<Entry> entries;
    std::vector<bool> answers;  // consumed front to back
    bool defaultAnswer = true;
    // Called with each message's text as it is shown.
    std::function<void(const std::string&)> onMessage;
    // Called with each question's text while it is open, before its answer.
    std::function<void(const std::string&)> onQuestion;

    std::vector<std::string> texts() const;
};

// Records bar values, labels and how often the event loop was given a turn.
class RecordingProgress final : public platform::Progress {
public:
    void show() override { ++shown; visible = true; }
    void hide() override { visible = false; }
    void setMaximum(int bar, int maximum) override { (bar == 2 ? max2 : max1) = maximum; }
    void setValue(int bar, int value) override;
    int value(int bar) const override { return bar == 2 ? value2 : value1; }
    void setLabel(int label, const std::string& text) override;
    std::string label(int label) const override;
    void yield() override { ++yields; }

    int shown = 0, yields = 0;
    bool visible = false;
    int max1 = 0, max2 = 0, value1 = 0, value2 = 0;
    std::string label1, label2, label3;
    std::vector<int> bar1History;
};

// The whole of a file's bytes; empty when it cannot be read.
std::string fileBytes(const std::string& path);

// Every file under a folder with its bytes, by its path inside the folder.
std::map<std::string, std::string> folderBytes(const std::string& folder);

// An environment variable set for a scope and given back as it was (or
// unset) at its end.
class ScopedVariable {
public:
    ScopedVariable(std::string name, const std::string& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string name_;
    std::optional<std::string> saved_;
};

// The number of threads a run computes on, set for a scope (through the
// variable QUOR_THREADS).
class RunThreads : ScopedVariable {
public:
    explicit RunThreads(int threads) : ScopedVariable("QUOR_THREADS", std::to_string(threads)) {}
};

// The home folder, "~" in a typed path, set for a scope (through HOME).
class HomeFolder : ScopedVariable {
public:
    explicit HomeFolder(const std::string& path) : ScopedVariable("HOME", path) {}
};

// One of this process's resource limits lowered to `value` for a scope,
// and given back as it was at its end.
class LoweredLimit {
public:
    LoweredLimit(int resource, rlim_t value);
    ~LoweredLimit();
    LoweredLimit(const LoweredLimit&) = delete;
    LoweredLimit& operator=(const LoweredLimit&) = delete;

private:
    int resource_;
    rlimit saved_{};
};

// The largest file this process may write, lowered for a scope: a write
// beyond it fails as on a full disk, and the signal that would end the
// process for it is ignored meanwhile.
class FullDisk {
public:
    explicit FullDisk(rlim_t bytes);
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    void (*oldSignal_)(int) = nullptr;
    LoweredLimit limit_;
};

// The process's address space capped for a scope at what it uses now
// plus `room` bytes: an allocation beyond it fails instead of taking the
// machine's memory, and the process runs under a limit of its own.
class AddressSpaceCap {
public:
    explicit AddressSpaceCap(rlim_t room);

private:
    LoweredLimit limit_;
};

// Files that may only be read, for a scope: their modes say so, and for
// the superuser, whom modes do not bind, the disk is told to keep them as
// they are. binding() is false where neither holds (some disks keep no
// such mark).
class ReadOnlyFiles {
public:
    explicit ReadOnlyFiles(std::vector<std::string> paths);
    ~ReadOnlyFiles();
    ReadOnlyFiles(const ReadOnlyFiles&) = delete;
    ReadOnlyFiles& operator=(const ReadOnlyFiles&) = delete;
    bool binding() const { return binding_; }

private:
    std::vector<std::string> paths_;
    bool immutable_ = false;
    bool binding_ = false;
};

// The Port Phillip example that comes with the checkout (examples/portphillip).
// The tests only read it: what a test changes, it copies first.
std::string portPhillipFolder();

// Whether that folder holds the example: a checkout without it is broken.
bool portPhillipPresent();

}  // namespace quor::test

// The example's folder in `var`; the current test fails, rather than
// skips, when the checkout lacks it.
#define QUOR_REQUIRE_PORTPHILLIP(var)                                                             \
    const std::string var = ::quor::test::portPhillipFolder();                                    \
    ASSERT_TRUE(::quor::test::portPhillipPresent())                                               \
        << "The Port Phillip example is missing from the checkout: no water_portphillip.shp in " \
        << var
