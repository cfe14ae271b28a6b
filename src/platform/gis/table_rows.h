#pragma once
// Values written into rows of a shapefile's table (".dbf") in place, and
// nothing else: only the bytes of the fields given change. GDAL writes a
// whole row, shape included, for every value; a full disk or a kill in the
// middle of that may move a site or flag it deleted, which a value of its
// own never can. Each value is spelt as GDAL spells it, read off a row GDAL
// writes in memory into a table of the same fields.
//
// The writer trusts nothing it saw when it opened the table:
// - every value is held against the row GDAL wrote before anything goes
//   into the table: a spelling that plainly holds it whole (a number with
//   room to spare) passes, any other is read back through GDAL's reader. A
//   value that needs a wider field (GDAL widens text and integer fields in
//   its own row, and cuts a real number short) is not written until the
//   table has a field that holds it whole (FieldsWidened); a value no
//   width makes whole (a number in a date field, a text in a number
//   field) is refused;
// - just before each write it checks that the path still names the file
//   it opened, with the fields it read, and that nothing wrote into it
//   since its own last write, and at the end that every row written holds
//   what it was given; when another program replaced or wrote into it,
//   nothing more goes in (TableReplacedError, with how many of the rows
//   written the file now there holds, field by field name);
// - a write cut short is put back where the disk allows, and what the row
//   then holds is read back: a row that holds part of its new values is
//   told (PartlyStoredError), never counted as stored or as empty;
// - the shapes beside the table are never written, so at the end any
//   change to them is another program's, and is told.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_stamp.h"
#include "platform/gis/fields.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/row_spelling.h"
#include "platform/gis/shapefile_files.h"
#include "platform/gis/table_layout.h"

class OGRFeatureDefn;

namespace quor::platform::gis::detail {

// The rows values were written into, each with a digest of the fields its
// last write gave: a table put in place by another program is then told
// how many of them it holds. Sized once for the table's rows. With them,
// the shapes those rows belong to, as they were at the first write.
class WrittenRows {
public:
    explicit WrittenRows(std::uint64_t rows = 0) : marked_(rows), digests_(rows), sets_(rows) {}
    void mark(std::uint64_t row) { marked_[row] = true; }
    bool marked(std::uint64_t row) const { return row < marked_.size() && marked_[row]; }
    // The row's fields `columns` (sorted) were given these bytes, laid out as a row.
    void record(std::uint64_t row, const std::vector<int>& columns, const Layout& layout, const std::string& bytes);
    // The row holds nothing of a write for sure.
    void forget(std::uint64_t row);
    // How many rows hold a recorded write.
    std::int64_t recorded() const { return recorded_; }
    // Digests again, for a table laid out anew with the same rows.
    void redigest(const TableFile& table, const Layout& layout);
    // How many recorded rows `table`, laid out as `there`, holds as they
    // were written into fields of the same names (laid out as `written`).
    std::int64_t heldIn(const TableFile& table, const Layout& there, const Layout& written) const;

    // The ".shp" and ".shx" beside `dbf` as they are now, once.
    void noteShapes(const std::string& dbf);
    // What another program did to them since, or nothing.
    std::optional<std::string> shapesChanged() const;

private:
    std::uint64_t digestOf(std::uint32_t set, const Layout& layout, std::string_view row) const;

    std::vector<std::pair<std::string, FileStamp>> shapes_;

    std::vector<bool> marked_;
    std::vector<std::uint64_t> digests_;
    std::vector<std::uint32_t> sets_;             // 0: none recorded, else columns_[set - 1]
    std::vector<std::vector<int>> columns_;       // the distinct sets of columns written
    std::int64_t recorded_ = 0;
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
    // was; PartlyStoredError when it is not. A row spelt `ahead` for these
    // values and the table's layout goes in as it is; any other is spelt
    // again here.
    void write(std::int64_t row, const ColumnValues& values, const SpeltRow* ahead = nullptr);
    // Puts every write on disk; WriteError when the disk does not take
    // them, TableReplacedError when they went into a file no longer there,
    // or another program changed the table or the shapes beside it.
    void sync();

    // TableReplacedError unless GDAL reads the table's fields as `fields`:
    // those the values' places were taken from.
    void requireFields(const OGRFeatureDefn& fields) const;

    bool wrote(std::int64_t row) const { return row >= 0 && rows_->marked(static_cast<std::uint64_t>(row)); }
    const Layout& layout() const { return layout_; }
    // The layout rows are spelt for, for those spelt ahead.
    const std::shared_ptr<const TableShape>& shape() const { return speller_.shape(); }
    std::unique_ptr<WrittenRows> takeRows() { return std::move(rows_); }

private:
    // A stretch of a row written in one go: where in the row, and the
    // bytes it held before.
    struct Span {
        std::size_t from, to;
        std::string old;
    };
    // The row's bytes: those spelt ahead when they were spelt for these
    // values and this layout, else spelt now.
    const std::string& bytesFor(const ColumnValues& values, const SpeltRow* ahead);
    // TableReplacedError unless the table is as this writer's last write
    // left it; with `header`, its header is compared as well.
    void requireSameTable(bool header) const;
    [[noreturn]] void replaced() const;
    void stampToday();
    // What this writer's own writes left: any other write changes it.
    void wroteUntil(std::int64_t row, const std::vector<Span>& spans, const std::string& bytes);

    std::string dbf_;
    std::unique_ptr<TableFile> file_;
    RowSpeller speller_;
    const Layout& layout_;  // the speller's
    std::unique_ptr<WrittenRows> rows_;
    std::string readBack_;
    mutable std::string bytesNow_;
    bool stamped_ = false;
    // The file as this writer's last write left it, and the row it wrote
    // last with the bytes it gave it: a copy written over the table in
    // place within the clock's smallest step still changes those.
    FileStamp own_;
    std::uint64_t lastRowStart_ = 0;
    std::vector<std::pair<std::size_t, std::string>> lastWritten_;
};

}  // namespace quor::platform::gis::detail
