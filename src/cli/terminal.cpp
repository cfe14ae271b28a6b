#include "cli/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <iterator>

namespace quor::cli {

namespace {

// Set by the signal handler, read by the run's threads: lock-free, so that
// both may touch it.
std::atomic<bool> stopAsked{false};
static_assert(std::atomic<bool>::is_always_lock_free);
// What the first request says, set before the handler is.
std::atomic<const std::string_view*> stopNote{&kRunStopping};
static_assert(std::atomic<const std::string_view*>::is_always_lock_free);

// The signals that ask a run to stop: Ctrl-C, a kill, and a terminal or
// ssh connection that went away.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[std::size(kStopSignals)]{}, previousPipe{};

void onStopSignal(int sig) {
    if (stopAsked.exchange(true)) {
        // The second request ends the program at once.
        for (const int s : kStopSignals) std::signal(s, SIG_DFL);
        std::raise(sig);
        return;
    }
    const std::string_view& note = *stopNote.load();
    // Nobody may be reading any more (a closed pipe): the note is dropped.
    const int saved = errno;
    const ssize_t ignored = ::write(STDERR_FILENO, note.data(), note.size());
    (void)ignored;
    errno = saved;
}

std::string clock(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) return "--:--";
    const long s = std::lround(seconds);
    char buf[32];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

int columnsOf(std::FILE* stream) {
    winsize ws{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    return 80;
}

}  // namespace

ProgressStyle progressStyleFor(std::FILE* stream, bool quiet) {
    if (quiet) return ProgressStyle::None;
    return ::isatty(::fileno(stream)) ? ProgressStyle::Bar : ProgressStyle::Ticks;
}

Terminal::Terminal(std::FILE* stream, ProgressStyle style) : out_(stream), style_(style) {}

void Terminal::say(const std::string& text) {
    std::lock_guard lock(mutex_);
    const bool bar = barShown_;
    clearBar();
    // The ticks go on below the message.
    if (style_ == ProgressStyle::Ticks && ticks_ >= 0 && ticks_ < 40) std::fputc('\n', out_);
    std::fputs(text.c_str(), out_);
    std::fputc('\n', out_);
    if (bar) drawBar(done_, total_);
    std::fflush(out_);
}

void Terminal::sites(std::int64_t done, std::int64_t sites) {
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (!begun_) {
        begun_ = true;
        started_ = now;
    }
    done_ = done;
    total_ = sites;
    if (style_ == ProgressStyle::Bar) {
        // A few times a second is all the eye reads.
        if (barShown_ && done < sites && now - drawn_ < std::chrono::milliseconds(100)) return;
        drawn_ = now;
        clearBar();
        drawBar(done, sites);
    } else if (style_ == ProgressStyle::Ticks) {
        tick(sites > 0 ? static_cast<int>(40 * done / sites) : 40);
    }
    std::fflush(out_);
}

void Terminal::finish(bool completed) {
    std::lock_guard lock(mutex_);
    if (style_ == ProgressStyle::Bar && barShown_) {
        if (completed) {
            clearBar();
            drawBar(total_, total_);
        }
        std::fputc('\n', out_);
        barShown_ = false;
    } else if (style_ == ProgressStyle::Ticks && ticks_ < 40) {
        if (completed) {
            tick(39);
            std::fputs("100 - done.\n", out_);
        } else if (ticks_ >= 0) {
            std::fputc('\n', out_);
        }
        ticks_ = 40;
    }
    std::fflush(out_);
}

void Terminal::drawBar(std::int64_t done, std::int64_t sites) {
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    const double rate = elapsed > 0 && done > 0 ? done / elapsed : 0;
    char speed[32] = "--";
    if (rate > 0) std::snprintf(speed, sizeof speed, "%.1f", rate);
    char text[160];
    std::snprintf(text, sizeof text, " %lld/%lld sites  %s sites/s  %s left", static_cast<long long>(done),
                  static_cast<long long>(sites), speed, rate > 0 ? clock((sites - done) / rate).c_str() : "--:--");
    const int width = std::clamp(columnsOf(out_) - static_cast<int>(std::strlen(text)) - 3, 10, 50);
    const int filled = sites > 0 ? static_cast<int>(width * done / sites) : width;
    std::string bar = "[" + std::string(filled, '#') + std::string(width - filled, '.') + "]";
    std::fputs((bar + text).c_str(), out_);
    barShown_ = true;
}

void Terminal::tick(int upTo) {
    // GDAL's 0...10...20...: forty ticks, every fourth a number; the
    // fortieth is the end's "100 - done.".
    for (int t = ticks_ + 1; t <= std::min(upTo, 39); ++t) {
        if (t % 4 == 0)
            std::fprintf(out_, "%d", t / 4 * 10);
        else
            std::fputc('.', out_);
        ticks_ = t;
    }
}

void Terminal::clearBar() {
    if (!barShown_) return;
    std::fputs("\r\033[K", out_);
    barShown_ = false;
}

StopRequest::StopRequest(const std::string_view& note) {
    stopAsked = false;
    stopNote = &note;
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) ::sigaction(kStopSignals[i], &sa, &previous[i]);
    // A reader of the progress or the results that went away (`| head`)
    // costs the run nothing: what is said to it is dropped.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &previousPipe);
}

StopRequest::~StopRequest() {
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) ::sigaction(kStopSignals[i], &previous[i], nullptr);
    ::sigaction(SIGPIPE, &previousPipe, nullptr);
}

bool StopRequest::requested() { return stopAsked.load(std::memory_order_relaxed); }

void TerminalMessages::message(const std::string& text, platform::MessageIcon icon, const std::string&) {
    if (icon == platform::MessageIcon::Critical || icon == platform::MessageIcon::Exclamation) lastWarning_ = text;
    terminal_.say(text);
}

bool TerminalMessages::question(const std::string& text, const std::string&) {
    const auto it = answers_.find(text);
    if (it != answers_.end() && it->second) return true;
    for (const auto& [start, yes] : starts_)
        if (yes && text.compare(0, start.size(), start) == 0) return true;
    for (const auto& [end, yes] : endings_)
        if (yes && text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0)
            return true;
    declined_ += (declined_.empty() ? "" : "\n") + text;
    return false;
}

void TerminalProgress::yield() {
    if (StopRequest::requested()) state_.cancel_flag = true;
}

void TerminalProgress::atSite(std::int64_t number, std::int64_t sites) { terminal_.sites(number - 1, sites); }

}  // namespace quor::cli
