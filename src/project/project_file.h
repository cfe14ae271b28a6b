#pragma once
// The project file: a short text file of 15 lines (CR LF) beside the
// project geodatabase, naming the inputs and the statements about them.
//
//   0 title            5 bathyname        10 wind_path
//   1 (empty)          6 bathy_positive   11 wind_name
//   2 "Created on: "   7 shorecov         12 bathyunits
//   3 (empty)          8 shorename        13 windunits
//   4 bathycov         9 shorefeature     14 geodatabase file name (optional)
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace quor::project {

// The reader takes at most this many lines; one more makes the file unreadable.
inline constexpr int kProjectFileMaxLines = 21;
// A file with more lines than this names a geodatabase to open.
inline constexpr int kLinesWithoutGeodatabase = 12;
inline constexpr const char* kSaveAsTitle = "Quor Project File";

// ".tesk_RWE" (RWE mode) or ".tesk_REI" (REI mode).
std::string projectExtension(uint8_t model_mode);
// "Quor RWE Project File" or "Quor REI Project File".
std::string projectTitle(uint8_t model_mode);
// folder, "/", name and the mode's extension.
std::string projectFilePath(const std::string& folder, const std::string& name, uint8_t model_mode);
// folder, "/", name and ".lock": the file that keeps two programs from
// running the same project at once, or deleting one that another has open.
std::string projectLockPath(const std::string& folder, const std::string& name);

// The values a project file records.
struct ProjectFileContent {
    std::string bathycov, bathyname;
    int16_t bathy_positive = 0;
    std::string shorecov, shorename, shorefeature;
    std::string wind_path, wind_name;
    std::string bathyunits, windunits;
    std::string geodatabase;  // line 14; empty = the line is left out
};

// Raised for a file that cannot be a project file (too many lines, a value
// that would break the line structure).
class ProjectFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// True when the text holds a carriage return or a line feed, which would
// shift every later line of a project file.
bool holdsLineBreak(const std::string& text);
inline constexpr const char* kLineBreakInPath =
    "The chosen name holds a line break, which a project file cannot store. Please rename it and choose again.";

// The lines of a project file: 15, or 14 when content.geodatabase is empty.
// `createdOn` is the date and time text of line 2.
std::vector<std::string> projectFileLines(const std::string& title, const std::string& createdOn,
                                          const ProjectFileContent& content);
// The current date and time in the system's short formats.
std::string currentDateTimeText();

// Writes the lines through a temporary file beside `path` and a rename, so
// a failure never leaves half a file in place of a good one. Throws
// ProjectFileError for a line holding a line break (nothing is written)
// and platform::FileError when the file cannot be written.
void writeProjectFile(const std::string& path, const std::vector<std::string>& lines);

// Reads a project file's lines. Throws platform::FileError when it cannot be
// read and ProjectFileError when it has more than kProjectFileMaxLines.
std::vector<std::string> readProjectFileLines(const std::string& path);

// A path as stored: "\" separators are read as "/" when the text holds no
// "/" (files written on systems with the other separator).
std::string storedPathToNative(const std::string& text);

}  // namespace quor::project
