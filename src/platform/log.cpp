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
}  // namespace

void logCause(const std::string& where, const std::string& cause) {
    const std::string line = where + ": " + cause;
    std::lock_guard lock(logMutex());
    if (sink())
        sink()(line);
    else
        std::fprintf(stderr, "%s\n", line.c_str());
}

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
