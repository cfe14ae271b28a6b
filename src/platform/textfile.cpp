#include "platform/textfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/disk_writes.h"

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

void rewriteTextLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text.append(l).append("\r\n");
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

std::vector<std::string> readTextLines(const std::string& path) {
    // Opening a pipe waits for a writer, and a huge file would be loaded
    // whole before its first line could be refused.
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw FileError("Cannot read file " + path + ": it is not a regular file.");
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxTextFileBytes) throw FileError("Cannot read file " + path + ": it is far too large.");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FileError("Cannot read file " + path);
    // A file that grows while it is read is held to the same bound.
    std::string text;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxTextFileBytes) throw FileError("Cannot read file " + path + ": it is far too large.");
    }
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

}  // namespace quor::platform
