#pragma once
// The developer's log: the causes of failures that the user is shown only
// as a general message (or not at all, where a step is allowed to fail),
// so that a developer can still tell what went wrong. Lines go to the
// standard error stream unless a sink is set.
#include <exception>
#include <functional>
#include <string>

namespace quor::platform {

// Writes "<where>: <cause>" as one line.
void logCause(const std::string& where, const std::string& cause);

// The cause of the exception being handled (call inside a catch block):
// its what() text, or "unknown failure" for anything that is not a
// std::exception.
std::string currentCause();

// Writes a line as it is, to the sink or the standard error stream.
void writeLogLine(const std::string& line);

// While it lives, the lines this thread logs go to `hold` instead of out:
// a computation on a worker thread hands them on, to be written with the
// rest of what it would show, in order.
class HeldLogLines {
public:
    explicit HeldLogLines(std::function<void(const std::string& line)> hold);
    ~HeldLogLines();
    HeldLogLines(const HeldLogLines&) = delete;
    HeldLogLines& operator=(const HeldLogLines&) = delete;

private:
    const std::function<void(const std::string& line)> hold_;
    const std::function<void(const std::string& line)>* outer_;
};

using LogSink = std::function<void(const std::string& line)>;
// Sends the log's lines to `sink` (nothing: the standard error stream);
// returns the sink it replaces. Tests capture the log this way.
LogSink setLogSink(LogSink sink);

}  // namespace quor::platform
