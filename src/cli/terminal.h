#pragma once
// What a run without the window shows, all of it on standard error: the
// run's messages in the window's words, and its progress: a bar with the
// sites done, sites a second and the time left when standard error is a
// terminal, GDAL's 0...10...20... otherwise, nothing when quiet. Ctrl-C,
// SIGTERM and SIGHUP ask the run to stop as the progress window's Cancel
// does; a reader that went away never stops it.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "model/model_state.h"
#include "model/run_shell.h"
#include "platform/feedback.h"

namespace quor::cli {

enum class ProgressStyle { Bar, Ticks, None };

// The bar on a terminal, the ticks otherwise.
ProgressStyle progressStyleFor(std::FILE* stream, bool quiet);

class Terminal {
public:
    explicit Terminal(std::FILE* stream, ProgressStyle style);

    // A whole message on lines of its own; a bar being drawn is put back after it.
    void say(const std::string& text);
    // The run has `done` of `sites` sites stored.
    void sites(std::int64_t done, std::int64_t sites);
    // The progress ends: a bar or the ticks are completed when the run was.
    void finish(bool completed);

private:
    void drawBar(std::int64_t done, std::int64_t sites);
    void clearBar();
    void tick(int upTo);

    std::FILE* out_;
    ProgressStyle style_;
    std::mutex mutex_;
    bool barShown_ = false;
    int ticks_ = -1;  // of 40, as GDAL counts them
    std::int64_t done_ = 0, total_ = 0;
    std::chrono::steady_clock::time_point started_{}, drawn_{};
    bool begun_ = false;
};

// What a run says when it is first asked to stop.
inline constexpr std::string_view kRunStopping =
    "\nquor-run: stopping after the site being stored (once more stops at once)\n";

// The run's stop request: the first SIGINT, SIGTERM or SIGHUP asks, and
// `note` (of static storage) says what stopping does; a second ends the
// program at once. While it lives, SIGPIPE is ignored: writes to a closed
// pipe fail quietly instead of ending the run.
class StopRequest {
public:
    explicit StopRequest(const std::string_view& note = kRunStopping);
    ~StopRequest();
    StopRequest(const StopRequest&) = delete;
    StopRequest& operator=(const StopRequest&) = delete;
    static bool requested();
};

// The run's messages on the terminal. Questions are answered as the
// options say, or No; none waits for the user.
class TerminalMessages final : public platform::Messages {
public:
    explicit TerminalMessages(Terminal& terminal) : terminal_(terminal) {}
    // The answer to a question of exactly this text.
    void answer(const std::string& question, bool yes) { answers_[question] = yes; }
    // The answer to every question that begins, or ends, with this text
    // (one that goes on, or begins, naming what it asks about).
    void answerStartingWith(const std::string& start, bool yes) { starts_[start] = yes; }
    void answerEndingWith(const std::string& end, bool yes) { endings_[end] = yes; }
    // The questions answered No (the run then keeps what is there).
    const std::string& declined() const { return declined_; }
    // The last warning or error the run told, for a report that says why.
    const std::string& lastWarning() const { return lastWarning_; }

    void message(const std::string& text, platform::MessageIcon icon, const std::string& title) override;
    bool question(const std::string& text, const std::string& title) override;

private:
    Terminal& terminal_;
    std::map<std::string, bool> answers_;
    std::map<std::string, bool> starts_;
    std::map<std::string, bool> endings_;
    std::string declined_;
    std::string lastWarning_;
};

// The progress window and the main window as a run without them sees them:
// the sites reached go to the terminal, and each turn the run gives the
// window's events carries a stop request into `cancel_flag`, as the
// progress window's Cancel would.
class TerminalProgress final : public platform::Progress, public model::RunShell {
public:
    TerminalProgress(Terminal& terminal, model::ModelState& state) : terminal_(terminal), state_(state) {}

    void show() override {}
    void hide() override {}
    void setMaximum(int, int) override {}
    void setValue(int bar, int value) override { (bar == 2 ? value2_ : value1_) = value; }
    int value(int bar) const override { return bar == 2 ? value2_ : value1_; }
    void setLabel(int, const std::string&) override {}
    std::string label(int) const override { return {}; }
    void yield() override;

    void atSite(std::int64_t number, std::int64_t sites) override;

private:
    Terminal& terminal_;
    model::ModelState& state_;
    int value1_ = 0, value2_ = 0;
};

}  // namespace quor::cli
