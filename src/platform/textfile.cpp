#include "platform/textfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/disk_writes.h"
#include "platform/file_replacement.h"

namespace quor::platform {

TextWriter::TextWriter(const std::string& path, bool append) : path_(path) {
    file_ = std::fopen(path.c_str(), append ? "ab" : "wb");
    if (!file_) throw FileError("Cannot write file " + path + ": " + std::strerror(errno));
}

TextWriter::~TextWriter() {
    if (file_) std::fclose(file_);
}

void TextWriter::writeLine(const std::string& line) {
    if (!file_) throw FileError("File already closed: " + path_);
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fwrite("\r\n", 1, 2, file_) != 2)
        throw FileError("Cannot write file " + path_);
}

void TextWriter::close() {
    if (!file_) return;
    const int rc = std::fclose(file_);
    file_ = nullptr;
    if (rc != 0) throw FileError("Cannot write file " + path_);
}

LineLog::LineLog(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) throw FileError("Cannot write file " + path + ": " + writeFailureText(errno) + ".");
}

LineLog::~LineLog() {
    if (fd_ >= 0) ::close(fd_);
}

void LineLog::writeLine(const std::string& line) {
    const std::string text = line + "\r\n";
    if (const int err = writeAllAt(fd_, text, end_); err != 0) {
        failed_ = true;
        // What part of the line got in is cut off again; should even that
        // fail, the next line still starts where the whole lines end.
        [[maybe_unused]] const int cut = ::ftruncate(fd_, static_cast<off_t>(end_));
        throw FileError("Cannot write file " + path_ + ": " + writeFailureText(err) + ".");
    }
    end_ += text.size();
}

void writeTextLines(const std::string& path, const std::vector<std::string>& lines) {
    TextWriter w(path);
    for (const auto& l : lines) w.writeLine(l);
    w.close();
}

namespace {

std::string crlfText(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text.append(l).append("\r\n");
    return text;
}

}  // namespace

void replaceTextLines(const std::string& path, const std::vector<std::string>& lines) {
    const std::string text = crlfText(lines);
    FileReplacement out(path);
    out.reserve(text.size());
    out.append(text);
    out.commit();
}

void rewriteTextLines(const std::string& path, const std::vector<std::string>& lines) {
    const std::string text = crlfText(lines);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) throw FileError("Cannot write file " + path + ": " + std::strerror(errno));
    int err = writeAllAt(fd, text, 0);
    struct stat st {};
    if (err == 0 && ::fstat(fd, &st) != 0) err = errno;
    if (err == 0 && st.st_size > static_cast<off_t>(text.size()) && ::ftruncate(fd, static_cast<off_t>(text.size())) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) throw FileError("Cannot write file " + path + ": " + std::strerror(err));
}

std::optional<std::string> otherThanAFile(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    switch (fs::status(path, ec).type()) {
        case fs::file_type::regular: return std::nullopt;
        case fs::file_type::none:
        case fs::file_type::not_found:
            if (fs::is_symlink(fs::symlink_status(path, ec))) return "a link that leads nowhere";
            return std::nullopt;
        case fs::file_type::directory: return "a folder";
        case fs::file_type::fifo: return "a pipe";
        case fs::file_type::socket: return "a socket";
        case fs::file_type::block:
        case fs::file_type::character: return "a device";
        default: return "something other than a file";
    }
}

void requireRegularFile(const std::string& path) {
    // A link that leads nowhere passes, as a missing file does: opening it fails.
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && otherThanAFile(path))
        throw FileError("Cannot read file " + path + ": it is not a regular file.");
}

namespace {

// The first `count` lines of a regular file. With `wholeFileBound` the
// bytes read altogether are held to kMaxTextFileBytes (a file that grows
// while it is read included), else each line is.
std::vector<std::string> readLines(const std::string& path, std::size_t count, bool wholeFileBound) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FileError("Cannot read file " + path);
    std::streambuf& buf = *in.rdbuf();
    std::vector<std::string> lines;
    std::string cur;
    std::uintmax_t taken = 0;
    while (lines.size() < count) {
        const int c = buf.sbumpc();
        if (c == std::char_traits<char>::eof()) {
            if (!cur.empty()) lines.push_back(std::move(cur));
            break;
        }
        if (++taken > kMaxTextFileBytes && wholeFileBound)
            throw FileError("Cannot read file " + path + ": it is far too large.");
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(cur));
            cur.clear();
            if (c == '\r' && buf.sgetc() == '\n') {
                buf.sbumpc();
                ++taken;
            }
        } else {
            cur += static_cast<char>(c);
            if (cur.size() > kMaxTextFileBytes)
                throw FileError("Cannot read file " + path + ": a line of it is far too long.");
        }
    }
    return lines;
}

}  // namespace

std::vector<std::string> readTextLines(const std::string& path) {
    // Opening a pipe waits for a writer, and a huge file would be loaded
    // whole before its first line could be refused.
    requireRegularFile(path);
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxTextFileBytes) throw FileError("Cannot read file " + path + ": it is far too large.");
    return readLines(path, std::numeric_limits<std::size_t>::max(), true);
}

std::vector<std::string> readFirstTextLines(const std::string& path, std::size_t count) {
    requireRegularFile(path);
    return readLines(path, count, false);
}

}  // namespace quor::platform
