#pragma once
// A shapefile's attribute table (".dbf") as GDAL reads it, read from
// outside GDAL: the header, where each field lies in a row and how an empty
// value is spelt. The table code that changes fields and the one that
// writes a site's values both go by it, so that they see exactly the table
// every reader sees.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quor::platform::gis::detail {

inline constexpr std::size_t kTableHeaderBytes = 32;
inline constexpr std::size_t kFieldDescriptionBytes = 32;
inline constexpr char kFieldsEndMark = 0x0D;
inline constexpr char kTableEndMark = 0x1A;
// The table's own fields give its row and header lengths in 16 bits.
inline constexpr std::uint64_t kMaxTableLength = 65535;
// A field's width is one byte of its description.
inline constexpr std::size_t kMaxFieldWidth = 255;

unsigned readLe16(const std::string& bytes, std::size_t at);
std::uint32_t readLe32(const std::string& bytes, std::size_t at);
void putLe16(std::string& bytes, std::size_t at, std::uint64_t value);
void putLe32(std::string& bytes, std::size_t at, std::uint32_t value);

// A field as its description gives it. The name is the one GDAL shows:
// up to the first NUL, trailing blanks cut.
struct Column {
    std::string name;
    char type = 'C';
    std::size_t offset = 0;  // in the row, after the deletion flag
    std::size_t width = 0;
};

Column columnOf(const std::string& description, std::size_t offset);

// What an empty value is made of: GDAL reads a number field of stars, a
// date of zeros, a logical of '?' and any other field of blanks as empty.
char emptyByte(char type);

// Whether numbers and texts written into a field of this type read back
// as written (text and number fields); a date, logical or memo field, or
// one of a type GDAL reads as text but is not, cannot hold them.
bool holdsNumbersAndTexts(char type);
// What a field of this type is, in the user's words: "a date field".
std::string typeWords(char type);

// A table file opened for reading, or for reading and writing.
class TableFile {
public:
    explicit TableFile(const std::string& path, bool writable = false);
    ~TableFile();
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    const std::string& path() const { return path_; }
    int descriptor() const { return fd_; }
    std::uint64_t size() const;
    // Exactly `n` bytes from `at` into `out` (resized); GisError when the file ends before.
    void read(std::uint64_t at, std::size_t n, std::string& out) const;
    std::string read(std::uint64_t at, std::size_t n) const;

private:
    std::string path_;
    int fd_;
};

// The table as its header describes it. Rows may be wider than their
// fields (some writers pad them), never narrower; the header's row count
// is what every reader sees, whatever lies beyond those rows.
struct Layout {
    std::string header;                     // the 32 bytes before the fields
    std::vector<std::string> descriptions;  // 32 bytes a field
    std::string afterFields;                // bytes between the fields (and their end mark) and the rows
    std::uint64_t rows = 0, headerLength = 0, rowLength = 0;
    std::vector<Column> columns;

    std::uint64_t rowsEnd() const { return headerLength + rows * rowLength; }
    // Where row `row` (from 0) begins in the file.
    std::uint64_t rowStart(std::uint64_t row) const { return headerLength + row * rowLength; }
    // Where in a row the last field ends (what follows is padding).
    std::size_t fieldsEnd() const { return columns.empty() ? 1 : columns.back().offset + columns.back().width; }
    // The first column of that name, as GDAL matches names (case aside), or null.
    const Column* find(const std::string& name) const;
};

// GisError, naming the table, when it is damaged.
Layout readLayout(const TableFile& table);

// Whether a row is marked deleted: GDAL hands out no feature for it, and
// it is no one's to change.
inline bool deletedRow(std::string_view row) { return !row.empty() && row[0] == '*'; }

// The first `rows` rows of a table, a block at a time: about a megabyte
// of them in one read, each handed to `each` with its number.
template <class EachRow>
void forEachRow(const TableFile& table, const Layout& layout, std::uint64_t rows, const EachRow& each) {
    const std::uint64_t perBlock = std::max<std::uint64_t>(1, (1u << 20) / std::max<std::uint64_t>(1, layout.rowLength));
    std::string block;
    for (std::uint64_t first = 0; first < rows; first += perBlock) {
        const std::uint64_t n = std::min(perBlock, rows - first);
        table.read(layout.rowStart(first), static_cast<std::size_t>(n * layout.rowLength), block);
        for (std::uint64_t r = 0; r < n; ++r)
            each(first + r, std::string_view(block).substr(static_cast<std::size_t>(r * layout.rowLength),
                                                           static_cast<std::size_t>(layout.rowLength)));
    }
}

// A digest of bytes that are only compared with themselves (a row as it
// was and as it is now): eight bytes at a time, each word mixed in by a
// multiplication, carried on from `h` (kDigestStart for the first bytes).
inline constexpr std::uint64_t kDigestStart = 14695981039346656037ULL;
std::uint64_t digestMore(std::uint64_t h, std::string_view bytes);

// How many of the first `upTo` rows of the table of the shapefile `shp`
// are marked deleted; GDAL counts them among its rows but reads none. 0
// when the table cannot be read (GDAL's own reading then tells why).
std::uint64_t deletedRows(const std::string& shp, std::uint64_t upTo);

}  // namespace quor::platform::gis::detail
