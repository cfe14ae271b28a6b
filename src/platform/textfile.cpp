#include "platform/textfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

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

std::vector<std::string> readTextLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FileError("Cannot read file " + path);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
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
