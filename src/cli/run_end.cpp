#include "cli/run_end.h"

#include <QJsonDocument>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cli/run_options.h"
#include "cli/terminal.h"

namespace quor::cli {

const char* endWord(End end) {
    switch (end) {
        case End::Completed: return "completed";
        case End::Stopped: return "stopped";
        case End::Failed: return "failed";
        case End::Refused: break;
    }
    return "refused";
}

int exitStatus(End end) {
    switch (end) {
        case End::Completed: return kCompleted;
        case End::Stopped:
        case End::Failed: return kStopped;
        case End::Refused: break;
    }
    return kBadInput;
}

End brokenOff() { return StopRequest::requested() ? End::Stopped : End::Failed; }

std::string endHead(const std::string& command, End end) {
    return std::string(kProgramName) + ": " + (command.empty() ? "" : command + " ") + endWord(end) + ": ";
}

std::string endLine(const std::string& command, End end, const std::string& what, double seconds) {
    char time[32];
    std::snprintf(time, sizeof time, "%.1f s", seconds);
    return endHead(command, end) + what + "; " + time;
}

std::string endObject(QJsonObject fields, End end, double seconds) {
    fields.insert("end", endWord(end));
    fields.insert("seconds", std::round(seconds * 1000) / 1000);
    return QJsonDocument(fields).toJson(QJsonDocument::Compact).toStdString();
}

std::string exitStatusHelp(const std::string& completed, const std::string& stopped, const std::string& refused) {
    return "Exit status: " + std::to_string(kCompleted) + " " + completed + ", " + std::to_string(kStopped) + " " +
           stopped + ", " + std::to_string(kBadInput) + " " + refused + ".\n";
}

void printEndObject(const std::string& json) {
    std::printf("%s\n", json.c_str());
    std::fflush(stdout);
}

int refusedOptions(const std::vector<std::string>& args, const std::function<std::string()>& json) {
    // A script that asked for JSON gets its object on this exit too.
    if (std::find(args.begin(), args.end(), "--json") != args.end()) printEndObject(json());
    return exitStatus(End::Refused);
}

int printed(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    return exitStatus(End::Completed);
}

}  // namespace quor::cli
