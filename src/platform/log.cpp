#include "platform/log.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace quor::platform {

namespace {
std::mutex& logMutex() {
    static std::mutex m;
    return m;
}
LogSink& sink() {
    static LogSink s;
    return s;
}
// Where this thread's lines are held, if they are.
thread_local const std::function<void(const std::string& line)>* heldHere = nullptr;
}  // namespace

void writeLogLine(const std::string& line) {
    std::lock_guard lock(logMutex());
    if (sink())
        sink()(line);
    else
        std::fprintf(stderr, "%s\n", line.c_str());
}

void logCause(const std::string& where, const std::string& cause) {
    const std::string line = where + ": " + cause;
    if (heldHere)
        (*heldHere)(line);
    else
        writeLogLine(line);
}

HeldLogLines::HeldLogLines(std::function<void(const std::string& line)> hold)
    : hold_(std::move(hold)), outer_(heldHere) {
    heldHere = &hold_;
}

HeldLogLines::~HeldLogLines() { heldHere = outer_; }

std::string currentCause() {
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown failure";
    }
}

LogSink setLogSink(LogSink s) {
    std::lock_guard lock(logMutex());
    return std::exchange(sink(), std::move(s));
}

}  // namespace quor::platform
