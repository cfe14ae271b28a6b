#pragma once
// Shared pieces of the wind tests: a context over fresh model state,
// a scripted save dialog and small wind text files written on the spot.
#include <deque>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "test_support.h"
#include "wind/rwe_wind_file.h"
#include "wind/wind_text_analysis.h"

namespace quor::wind::testing {

class ScriptedSaveDialog final : public SavePathChooser {
public:
    std::optional<std::string> chooseSavePath(const std::string& title, const std::string& filter,
                                              const std::string& startFolder) override {
        calls.push_back({filter, title, startFolder});
        if (answers.empty()) return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    struct Call {
        std::string filter, title, folder;
    };
    std::deque<std::optional<std::string>> answers;  // nullopt = Cancel
    std::vector<Call> calls;
};

struct WindWorld {
    model::ModelState state;
    model::WindSummary holder;
    model::MainFormState main;
    test::RecordingMessages messages;
    ScriptedSaveDialog dialog;
    WindAnalysisContext ctx{{state, holder, main, messages, &dialog, [] {
                                 return platform::DateTime{2026, 12, 7, 9, 5, 3};
                             }}};
};

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// One record line: "YYYY MM DD hh mm speed direction" joined by the delimiter.
struct Rec {
    int y, mo, d, h, mi;
    std::string speed, dir;
};

inline std::string recordLine(const Rec& r, const std::string& delim = " ") {
    char date[64];
    std::snprintf(date, sizeof date, "%04d%s%02d%s%02d%s%02d%s%02d", r.y, delim.c_str(), r.mo, delim.c_str(), r.d,
                  delim.c_str(), r.h, delim.c_str(), r.mi);
    return std::string(date) + delim + r.speed + delim + r.dir;
}

// A header row, a units row and the records, CR LF ends.
inline std::string windText(const std::vector<Rec>& recs, const std::string& delim = " ") {
    std::string t = "YY" + delim + "MM" + delim + "DD" + delim + "hh" + delim + "mm" + delim + "WSPD" + delim +
                    "WDIR\r\n" + "yr" + delim + "mo" + delim + "dy" + delim + "hr" + delim + "mn" + delim + "m/s" +
                    delim + "degT\r\n";
    for (const auto& r : recs) t += recordLine(r, delim) + "\r\n";
    return t;
}

inline WindTextQuery query(const std::string& path, WindHour start, WindHour end, int percent = 100) {
    WindTextQuery q;
    q.path = path;
    q.station = "TEST1";
    q.start = start;
    q.end = end;
    q.percent_wind = percent;
    q.delimiter = " ";
    q.columns = {0, 1, 2, 3, 4, 5, 6};
    q.lineno = 1;
    return q;
}

inline std::vector<std::string> splitCrLf(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t e = bytes.find("\r\n", pos);
        if (e == std::string::npos) {
            lines.push_back(bytes.substr(pos) + "<no CR LF>");
            break;
        }
        lines.push_back(bytes.substr(pos, e - pos));
        pos = e + 2;
    }
    return lines;
}

}  // namespace quor::wind::testing
