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

void writeTextLines(const std::string& path, const std::vector<std::string>& lines) {
    TextWriter w(path);
    for (const auto& l : lines) w.writeLine(l);
    w.close();
}

void rewriteTextLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text.append(l).append("\r\n");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) throw FileError("Cannot write file " + path + ": " + std::strerror(errno));
    bool ok = true;
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            ok = false;
    }
    struct stat st {};
    if (ok && ::fstat(fd, &st) == 0) {
        if (st.st_size > static_cast<off_t>(text.size())) ok = ::ftruncate(fd, static_cast<off_t>(text.size())) == 0;
    } else {
        ok = false;
    }
    int err = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) throw FileError("Cannot write file " + path + ": " + std::strerror(err));
}

void requireRegularFile(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
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
