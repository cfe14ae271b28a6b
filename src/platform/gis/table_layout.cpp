#include "platform/gis/table_layout.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/gis/fields.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/shapefile_files.h"

namespace quor::platform::gis::detail {

unsigned readLe16(const std::string& b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
}

std::uint32_t readLe32(const std::string& b, std::size_t at) {
    return readLe16(b, at) | (static_cast<std::uint32_t>(readLe16(b, at + 2)) << 16);
}

void putLe16(std::string& b, std::size_t at, std::uint64_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void putLe32(std::string& b, std::size_t at, std::uint32_t v) {
    putLe16(b, at, v & 0xFFFF);
    putLe16(b, at + 2, v >> 16);
}

Column columnOf(const std::string& description, std::size_t offset) {
    Column c;
    // GDAL's own reading: the eleven name bytes, blanks cut from the last
    // one back only while there are blanks there. A name padded with
    // blanks and ended by a NUL keeps its blanks, and every lookup must
    // see it so.
    char name[12] = {};
    std::memcpy(name, description.data(), 11);
    for (int i = 10; i > 0 && name[i] == ' '; --i) name[i] = '\0';
    c.name = name;
    c.type = description[11];
    c.offset = offset;
    c.width = static_cast<unsigned char>(description[16]);
    return c;
}

char emptyByte(char type) {
    switch (type) {
        case 'N':
        case 'F': return '*';
        case 'D': return '0';
        case 'L': return '?';
        default: return ' ';
    }
}

bool holdsNumbersAndTexts(char type) { return type == 'C' || type == 'N' || type == 'F'; }

std::string typeWords(char type) {
    switch (type) {
        case 'C': return "a text field";
        case 'N':
        case 'F': return "a number field";
        case 'D': return "a date field";
        case 'L': return "a logical field";
        case 'M': return "a memo field";
        default: return std::string("a field of type '") + type + "'";
    }
}

TableFile::TableFile(const std::string& path, bool writable)
    : path_(path), fd_(::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC)) {
    if (fd_ < 0)
        throw GisError("The table " + path + " cannot be " + (writable ? "written" : "read") + ": " +
                       std::strerror(errno) + ".");
}

TableFile::~TableFile() { ::close(fd_); }

std::uint64_t TableFile::size() const {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

void TableFile::read(std::uint64_t at, std::size_t n, std::string& out) const {
    out.resize(n);
    for (std::size_t done = 0; done < n;) {
        const ssize_t got = ::pread(fd_, out.data() + done, n - done, static_cast<off_t>(at + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0)
            throw GisError("The table " + path_ + " cannot be read: " +
                           (got < 0 ? std::string(std::strerror(errno)) : "it ends early") + ".");
        done += static_cast<std::size_t>(got);
    }
}

std::string TableFile::read(std::uint64_t at, std::size_t n) const {
    std::string out;
    read(at, n, out);
    return out;
}

const Column* Layout::find(const std::string& name) const {
    for (const auto& c : columns)
        if (equalsIgnoreCase(c.name, name)) return &c;
    return nullptr;
}

Layout readLayout(const TableFile& in) {
    Layout t;
    t.header = in.read(0, kTableHeaderBytes);
    t.rows = readLe32(t.header, 4);
    t.headerLength = readLe16(t.header, 8);
    t.rowLength = readLe16(t.header, 10);
    auto damaged = [&](const std::string& why) {
        return GisError("The table " + in.path() + " is damaged: " + why + ".");
    };
    if (t.headerLength < kTableHeaderBytes + 1) throw damaged("its header is too short");
    const std::string rest = in.read(kTableHeaderBytes, t.headerLength - kTableHeaderBytes);
    // As GDAL reads it: as many descriptions as the header's length holds,
    // up to an end mark if there is one.
    std::size_t at = 0, offset = 1;
    while (at + kFieldDescriptionBytes <= rest.size() && rest[at] != kFieldsEndMark) {
        t.descriptions.push_back(rest.substr(at, kFieldDescriptionBytes));
        t.columns.push_back(columnOf(t.descriptions.back(), offset));
        offset += t.columns.back().width;
        at += kFieldDescriptionBytes;
    }
    t.afterFields = rest.substr(at < rest.size() && rest[at] == kFieldsEndMark ? at + 1 : at);
    if (t.fieldsEnd() > t.rowLength) throw damaged("its rows are narrower than its fields");
    if (in.size() < t.rowsEnd()) throw damaged("it holds fewer rows than its header says");
    return t;
}

std::uint64_t digestMore(std::uint64_t h, std::string_view bytes) {
    const auto mix = [&h](std::uint64_t word) {
        h = (h ^ word) * 0x9E3779B97F4A7C15ULL;
        h ^= h >> 29;
    };
    std::size_t at = 0;
    for (; at + 8 <= bytes.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + at, 8);
        mix(word);
    }
    std::uint64_t tail = bytes.size() - at;  // the length tells "ab" from "ab\0"
    for (std::size_t k = 0; at + k < bytes.size(); ++k)
        tail |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[at + k])) << (8 * (k + 1));
    mix(tail);
    return h;
}

std::uint64_t deletedRows(const std::string& shp, std::uint64_t upTo) {
    const std::string dbf = tablePart(shapefileParts(shp));
    if (dbf.empty() || upTo == 0) return 0;
    try {
        const TableFile table(dbf);
        const Layout t = readLayout(table);
        const std::uint64_t rows = std::min(t.rows, upTo);
        const std::uint64_t perBlock = std::max<std::uint64_t>(1, (1u << 20) / t.rowLength);
        std::uint64_t deleted = 0;
        std::string block;
        for (std::uint64_t row = 0; row < rows; row += perBlock) {
            const std::uint64_t n = std::min(perBlock, rows - row);
            table.read(t.rowStart(row), static_cast<std::size_t>(n * t.rowLength), block);
            for (std::uint64_t r = 0; r < n; ++r)
                if (deletedRow(std::string_view(block).substr(static_cast<std::size_t>(r * t.rowLength)))) ++deleted;
        }
        return deleted;
    } catch (const GisError&) {
        return 0;
    }
}

}  // namespace quor::platform::gis::detail
