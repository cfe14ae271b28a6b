#pragma once
// How quor-run and quor-run merge end: in one of four ends, each told by
// the same word on the end line and in the --json object, and each giving
// its exit status. Scripts read these words and statuses: they are said
// here only.
#include <QJsonObject>

#include <functional>
#include <string>
#include <vector>

namespace quor::cli {

// The exit statuses.
inline constexpr int kCompleted = 0;  // the run completed (status-coded sites are part of it)
inline constexpr int kStopped = 1;    // a failure, Ctrl-C, SIGTERM or SIGHUP
inline constexpr int kBadInput = 2;   // bad usage or input: nothing written

enum class End { Completed, Stopped, Failed, Refused };

// "completed", "stopped", "failed" or "refused".
const char* endWord(End end);
int exitStatus(End end);

// A run or a merge broken off while it wrote: stopped when the user asked
// it to stop, failed otherwise.
End brokenOff();

inline constexpr const char* kNothingWritten = "nothing was written";

// "quor-run: merge failed: ", how an end is told: the command ("rwe",
// "rei", "merge", or none when it was not understood) and the end's word.
std::string endHead(const std::string& command, End end);
// The end line: its head, what the end tells, and the seconds it took.
std::string endLine(const std::string& command, End end, const std::string& what, double seconds);

// The --json object of an end: `fields` with the end's word and its seconds.
std::string endObject(QJsonObject fields, End end, double seconds);
// The help's line on the exit statuses, with what each means to the command.
std::string exitStatusHelp(const std::string& completed, const std::string& stopped, const std::string& refused);

// The object on its own line of standard output, there at once.
void printEndObject(const std::string& json);

// How a command line refused for its options ends, once the refusal is
// told: with the object `json` makes when the command line asks for --json.
int refusedOptions(const std::vector<std::string>& args, const std::function<std::string()>& json);
// How a command line that asks for a text (--help, --version) ends.
int printed(const std::string& text);

}  // namespace quor::cli
