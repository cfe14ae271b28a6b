#include "platform/gis/shapefile_table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/disk_writes.h"
#include "platform/file_replacement.h"
#include "platform/gis/gdal_handle.h"
#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"

namespace quor::platform::gis::detail {

namespace {

constexpr std::size_t kHeaderBytes = 32;
constexpr std::size_t kFieldBytes = 32;
constexpr char kFieldsEnd = 0x0D;
// The table's own fields give its row and header lengths in 16 bits.
constexpr std::uint64_t kMaxLength = 65535;

unsigned le16(const std::string& b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
}
std::uint32_t le32(const std::string& b, std::size_t at) {
    return le16(b, at) | (static_cast<std::uint32_t>(le16(b, at + 2)) << 16);
}
void put16(std::string& b, std::size_t at, std::uint64_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

// A field as its description in the table gives it.
struct Column {
    std::string name;
    char type = 'C';
    std::size_t offset = 0;  // in the row, after the deletion flag
    std::size_t width = 0;
};

Column columnOf(const std::string& description, std::size_t offset) {
    Column c;
    c.name.assign(description.data(), strnlen(description.data(), 11));
    c.type = description[11];
    c.offset = offset;
    c.width = static_cast<unsigned char>(description[16]);
    return c;
}

// What an empty value is made of: GDAL reads a number field of stars, a
// date of zeros, a logical of '?' and any other field of blanks as empty.
char emptyByte(char type) {
    switch (type) {
        case 'N':
        case 'F': return '*';
        case 'D': return '0';
        case 'L': return '?';
        default: return ' ';
    }
}

class ReadFile {
public:
    explicit ReadFile(const std::string& path) : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (fd_ < 0) throw GisError("The table " + path + " cannot be read: " + std::strerror(errno) + ".");
    }
    ~ReadFile() { ::close(fd_); }
    ReadFile(const ReadFile&) = delete;
    ReadFile& operator=(const ReadFile&) = delete;

    std::uint64_t size() const {
        struct stat st {};
        return ::fstat(fd_, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    }
    // Exactly `n` bytes from `at`; GisError when the file ends before.
    std::string read(std::uint64_t at, std::size_t n) const {
        std::string out(n, '\0');
        for (std::size_t done = 0; done < n;) {
            const ssize_t got = ::pread(fd_, out.data() + done, n - done, static_cast<off_t>(at + done));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0)
                throw GisError("The table " + path_ + " cannot be read: " +
                               (got < 0 ? std::string(std::strerror(errno)) : "it ends early") + ".");
            done += static_cast<std::size_t>(got);
        }
        return out;
    }

private:
    std::string path_;
    int fd_;
};

// The table as its header describes it.
struct Layout {
    std::string header;                    // the 32 bytes before the fields
    std::vector<std::string> descriptions;  // 32 bytes a field
    std::string afterFields;               // bytes between the fields' end mark and the rows
    std::uint64_t rows = 0, headerLength = 0, rowLength = 0;
    std::vector<Column> columns;
};

Layout readLayout(const ReadFile& in, const std::string& dbf) {
    Layout t;
    t.header = in.read(0, kHeaderBytes);
    t.rows = le32(t.header, 4);
    t.headerLength = le16(t.header, 8);
    t.rowLength = le16(t.header, 10);
    auto damaged = [&](const std::string& why) { return GisError("The table " + dbf + " is damaged: " + why + "."); };
    if (t.headerLength < kHeaderBytes + 1) throw damaged("its header is too short");
    const std::string rest = in.read(kHeaderBytes, t.headerLength - kHeaderBytes);
    std::size_t at = 0, offset = 1;
    while (at < rest.size() && rest[at] != kFieldsEnd) {
        if (at + kFieldBytes > rest.size()) throw damaged("its field descriptions do not end");
        t.descriptions.push_back(rest.substr(at, kFieldBytes));
        t.columns.push_back(columnOf(t.descriptions.back(), offset));
        offset += t.columns.back().width;
        at += kFieldBytes;
    }
    if (at >= rest.size()) throw damaged("its field descriptions do not end");
    t.afterFields = rest.substr(at + 1);
    if (offset != t.rowLength) throw damaged("its rows are not as wide as its fields");
    if (in.size() < t.headerLength + t.rows * t.rowLength) throw damaged("it holds fewer rows than its header says");
    return t;
}

// The descriptions GDAL gives the fields in a shapefile's table, read off
// a table it makes in memory with them alone.
std::vector<std::string> descriptionsOf(const std::vector<FieldDef>& defs) {
    if (defs.empty()) return {};
    ensureGdal();
    static std::atomic<unsigned> serial{0};
    const std::string path = "/vsimem/quor-fields-" + std::to_string(serial++) + ".dbf";
    ErrorCapture err;
    {
        auto* drv = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
        DatasetHandle ds(drv ? drv->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr) : nullptr);
        OGRLayer* layer = ds ? ds->CreateLayer(CPLGetBasename(path.c_str()), nullptr, wkbNone, nullptr) : nullptr;
        if (!layer) throw GisError(err.message("The fields cannot be described."));
        for (const auto& def : defs) {
            auto fd = makeOgrField(def);
            if (layer->CreateField(fd.get()) != OGRERR_NONE)
                throw GisError(err.message("Field " + def.name + " cannot be made."));
        }
    }
    vsi_l_offset length = 0;
    GByte* bytes = VSIGetMemFileBuffer(path.c_str(), &length, FALSE);
    std::vector<std::string> out;
    const std::string table(reinterpret_cast<const char*>(bytes), bytes ? length : 0);
    VSIUnlink(path.c_str());
    for (std::size_t i = 0; i < defs.size(); ++i) {
        const std::size_t at = kHeaderBytes + i * kFieldBytes;
        if (table.size() < at + kFieldBytes) throw GisError("The fields cannot be described.");
        out.push_back(table.substr(at, kFieldBytes));
        // The place in the row is the reader's to work out.
        std::fill(out.back().begin() + 12, out.back().begin() + 16, '\0');
    }
    return out;
}

}  // namespace

void replaceTable(const std::string& dbf, const TableChange& change) {
    const ReadFile in(dbf);
    Layout t = readLayout(in, dbf);
    const std::vector<std::string> added = descriptionsOf(change.add);

    // The new layout: the old fields, then the added ones.
    std::vector<Column> columns = t.columns;
    std::uint64_t rowLength = t.rowLength;
    for (const auto& d : added) {
        columns.push_back(columnOf(d, rowLength));
        for (std::size_t k = 0; k + 1 < columns.size(); ++k)
            if (equalsIgnoreCase(columns[k].name, columns.back().name))
                throw GisError("Field " + columns.back().name + " already exists.");
        rowLength += columns.back().width;
    }
    const std::uint64_t headerLength = t.headerLength + kFieldBytes * added.size();
    if (rowLength > kMaxLength || headerLength > kMaxLength)
        throw GisError("The table " + dbf + " cannot hold more fields: its rows would be wider than a table allows.");

    // Each row's bytes: its old ones, the new fields empty, then the
    // emptied fields made empty.
    std::string tail;
    for (std::size_t k = t.columns.size(); k < columns.size(); ++k)
        tail.append(columns[k].width, emptyByte(columns[k].type));
    std::vector<const Column*> emptied;
    for (const auto& name : change.empty)
        for (std::size_t k = 0; k < t.columns.size(); ++k)
            if (equalsIgnoreCase(columns[k].name, name)) emptied.push_back(&columns[k]);

    std::string header = t.header;
    put16(header, 8, headerLength);
    put16(header, 10, rowLength);
    for (const auto& d : t.descriptions) header += d;
    for (const auto& d : added) header += d;
    header += kFieldsEnd;
    header += t.afterFields;

    const std::uint64_t rowsEnd = t.headerLength + t.rows * t.rowLength;
    const std::uint64_t trailing = in.size() - rowsEnd;
    const std::uint64_t tableBytes = headerLength + t.rows * rowLength + trailing;
    try {
        FileReplacement out(dbf);
        out.reserve(tableBytes);
        out.append(header);
        // Rows go in blocks of about a megabyte: few writes, little memory.
        const std::uint64_t perBlock = std::max<std::uint64_t>(1, (1u << 20) / t.rowLength);
        std::string block;
        for (std::uint64_t row = 0; row < t.rows; row += perBlock) {
            const std::uint64_t n = std::min(perBlock, t.rows - row);
            const std::string old = in.read(t.headerLength + row * t.rowLength, n * t.rowLength);
            block.clear();
            for (std::uint64_t r = 0; r < n; ++r) {
                const std::size_t start = block.size();
                block.append(old, r * t.rowLength, t.rowLength);
                block += tail;
                for (const Column* c : emptied) std::fill_n(block.begin() + start + c->offset, c->width, emptyByte(c->type));
            }
            out.append(block);
        }
        if (trailing > 0) out.append(in.read(rowsEnd, trailing));
        out.commit();
    } catch (const WriteError& e) {
        if (isNoRoom(e.error())) throw TableNoRoom(e.what(), tableBytes);
        throw GisError(e.what());
    }
}

}  // namespace quor::platform::gis::detail
