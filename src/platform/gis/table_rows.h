#pragma once
// Values written into rows of a shapefile's table (".dbf") in place, and
// nothing else: only the bytes of the fields given change. GDAL writes a
// whole row, shape included, for every value; a full disk or a kill in the
// middle of that may move a site or flag it deleted, which a value of its
// own never can. Each value is spelt as GDAL spells it, read off a row GDAL
// writes in memory into a table of the same fields.
//
// The writer trusts nothing it saw when it opened the table:
// - a value that needs a wider field is not written until the table has
//   that field as GDAL would widen it (FieldsWidened);
// - before each write it checks that the path still names the file it
//   opened, with the fields it read; when another program replaced or
//   rewrote it, nothing more goes in (TableReplacedError, with how many of
//   the rows written the file now there holds);
// - a write cut short is put back where the disk allows, and what the row
//   then holds is read back: a row that holds part of its new values is
//   told (PartlyStoredError), never counted as stored or as empty.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/gis/fields.h"
#include "platform/gis/gdal_handle.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/table_layout.h"

class OGRFeatureDefn;
class OGRLayer;

namespace quor::platform::gis::detail {

// A field's value, by the field's place among the table's fields (from 0).
using ColumnValues = std::vector<std::pair<int, FieldValue>>;

// GDAL widens a field whose value does not fit it; the table must be given
// the new descriptions (by field place) before the value can be written.
class FieldsWidened : public GisError {
public:
    explicit FieldsWidened(std::vector<std::pair<int, std::string>> descriptions);
    const std::vector<std::pair<int, std::string>>& descriptions() const { return descriptions_; }

private:
    std::vector<std::pair<int, std::string>> descriptions_;
};

// The rows values were written into, each with a digest of the fields its
// last write gave: a table put in place by another program is then told
// how many of them it holds. Sized once for the table's rows.
class WrittenRows {
public:
    explicit WrittenRows(std::uint64_t rows = 0) : marked_(rows), digests_(rows), sets_(rows) {}
    void mark(std::uint64_t row) { marked_[row] = true; }
    bool marked(std::uint64_t row) const { return row < marked_.size() && marked_[row]; }
    // The row's fields `columns` (sorted) were given these bytes, laid out as a row.
    void record(std::uint64_t row, const std::vector<int>& columns, const Layout& layout, const std::string& bytes);
    // Digests again, for a table laid out anew with the same rows.
    void redigest(const TableFile& table, const Layout& layout);
    // How many recorded rows the table holds as they were written.
    std::int64_t heldIn(const TableFile& table, const Layout& layout) const;

private:
    std::uint64_t digestOf(std::uint32_t set, const Layout& layout, const std::string& row) const;

    std::vector<bool> marked_;
    std::vector<std::uint64_t> digests_;
    std::vector<std::uint32_t> sets_;             // 0: none recorded, else columns_[set - 1]
    std::vector<std::vector<int>> columns_;       // the distinct sets of columns written
};

class TableRowWriter {
public:
    // Opens the table `dbf` for writing. GisError when it cannot be read
    // or opened for writing, or GDAL does not read it field for field.
    // `rows` carries the rows written before, when the table was laid out
    // anew by this program.
    explicit TableRowWriter(const std::string& dbf, std::unique_ptr<WrittenRows> rows = nullptr);
    ~TableRowWriter();
    TableRowWriter(const TableRowWriter&) = delete;
    TableRowWriter& operator=(const TableRowWriter&) = delete;

    // Writes the values into row `row` (from 0). GisError when there is no
    // such row or a field cannot be given; FieldsWidened when a field must
    // first be wider (nothing was written); TableReplacedError when the
    // table is no longer the one opened; WriteError, with the system's
    // error, when the disk does not take the bytes and the row is as it
    // was; PartlyStoredError when it is not.
    void write(std::int64_t row, const ColumnValues& values);
    // Puts every write on disk; WriteError when the disk does not take
    // them, TableReplacedError when they went into a file no longer there.
    void sync();

    // TableReplacedError unless GDAL reads the table's fields as `fields`:
    // those the values' places were taken from.
    void requireFields(const OGRFeatureDefn& fields) const;

    bool wrote(std::int64_t row) const { return row >= 0 && rows_->marked(static_cast<std::uint64_t>(row)); }
    const Layout& layout() const { return layout_; }
    std::unique_ptr<WrittenRows> takeRows() { return std::move(rows_); }

private:
    // GDAL's in-memory twin of the table, one row long.
    struct Scratch;
    // The row GDAL writes with these values, laid out as the table's.
    const std::string& spelt(const ColumnValues& values);
    void requireSameTable() const;
    [[noreturn]] void replaced() const;
    void stampToday();

    std::string dbf_;
    std::unique_ptr<TableFile> file_;
    Layout layout_;
    std::unique_ptr<Scratch> scratch_;
    std::unique_ptr<WrittenRows> rows_;
    std::string headerAtOpen_;  // the header and field descriptions as first read
    std::string row_, readBack_;
    mutable std::string headerNow_;
    bool stamped_ = false;
};

}  // namespace quor::platform::gis::detail
