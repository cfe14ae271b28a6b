#pragma once
// Text files as the program's users exchange them: lines end in CR LF,
// and a file is opened, written and closed within one operation.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quor::platform {

class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes whole lines with CR LF ends. Throws FileError when the file
// cannot be created or written; nothing is left half-written silently.
class TextWriter {
public:
    explicit TextWriter(const std::string& path, bool append = false);
    ~TextWriter();
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    void writeLine(const std::string& line);
    void close();

private:
    std::FILE* file_ = nullptr;
    std::string path_;
};

// A log written line by line (CR LF ends), made anew: each line reaches
// the file as it is written, so that what was written stays however the
// writing ends, and a line that cannot be written whole is taken off
// again, so that the file always ends with a whole line. Throws FileError,
// naming the cause (a full disk as such), when the file cannot be made or
// a line cannot be written.
class LineLog {
public:
    explicit LineLog(const std::string& path);
    ~LineLog();
    LineLog(const LineLog&) = delete;
    LineLog& operator=(const LineLog&) = delete;

    void writeLine(const std::string& line);
    // Whether a line could not be written.
    bool failed() const { return failed_; }

private:
    int fd_ = -1;
    std::string path_;
    std::uint64_t end_ = 0;
    bool failed_ = false;
};

// Writes all lines at once (CR LF after each).
void writeTextLines(const std::string& path, const std::vector<std::string>& lines);

// Writes whole lines with CR LF ends into a new file beside `path` and
// puts it in the place of the old one in one step, on disk: for the
// user's files, which a crash or a full disk must never leave half
// written. Throws FileError, with the old file as it was.
void replaceTextLines(const std::string& path, const std::vector<std::string>& lines);

// Gives the file exactly these lines (CR LF after each), creating it when
// missing, for files a run rewrites again and again. The old content is
// written over in place and only a longer old tail is cut off; the file
// is never emptied first. A file system starts writing a file out to the
// disk when it is closed after being emptied, and the next emptying waits
// for that write-out: on a busy disk such waits outweigh a run's work.
// Throws FileError.
void rewriteTextLines(const std::string& path, const std::vector<std::string>& lines);

// The largest text file the program reads whole: far beyond any wind or
// project file, so that a wrong choice costs nothing to refuse.
inline constexpr std::uintmax_t kMaxTextFileBytes = 1024 * 1024;

// What stands at `path` (a link followed) when it is something other than
// a regular file, as the user is told of it: "a folder", "a pipe", "a
// socket", "a device", "a link that leads nowhere". Nothing for a regular
// file and a free name.
std::optional<std::string> otherThanAFile(const std::string& path);

// Throws FileError for a path that names something other than a regular
// file (a folder, a pipe, a device): opening a pipe waits for a writer.
// A missing path passes; opening it fails.
void requireRegularFile(const std::string& path);

// Reads a text file's lines, accepting CR LF, LF or CR ends. Throws
// FileError, before reading anything, for what is not a regular file (a
// folder, a pipe, a device) and for a file larger than kMaxTextFileBytes.
std::vector<std::string> readTextLines(const std::string& path);

// The first `count` lines of a text file of any length (fewer when it has
// fewer), read as readTextLines reads them; the rest of the file is never
// read. Throws FileError for what is not a regular file and for a line
// longer than kMaxTextFileBytes.
std::vector<std::string> readFirstTextLines(const std::string& path, std::size_t count);

}  // namespace quor::platform
