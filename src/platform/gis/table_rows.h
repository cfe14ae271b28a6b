#pragma once
// Values written into rows of a shapefile's table (".dbf") in place, and
// nothing else: only the bytes of the fields given change. GDAL writes a
// whole row, shape included, for every value; a full disk or a kill in the
// middle of that may move a site or flag it deleted, which a value of its
// own never can. Each value is spelt as GDAL spells it, read off a row GDAL
// writes in memory into a table of the same fields.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/gis/fields.h"
#include "platform/gis/gdal_handle.h"
#include "platform/gis/table_layout.h"

class OGRLayer;

namespace quor::platform::gis::detail {

// A field's value, by the field's place among the table's fields (from 0).
using ColumnValues = std::vector<std::pair<int, FieldValue>>;

class TableRowWriter {
public:
    // Opens the table `dbf` for writing. GisError when it cannot be read
    // or opened for writing, or GDAL does not read it field for field.
    explicit TableRowWriter(const std::string& dbf);
    ~TableRowWriter();
    TableRowWriter(const TableRowWriter&) = delete;
    TableRowWriter& operator=(const TableRowWriter&) = delete;

    // Writes the values into row `row` (from 0). GisError when there is no
    // such row or a field cannot be given; WriteError, with the system's
    // error, when the disk does not take the bytes.
    void write(std::int64_t row, const ColumnValues& values);
    // Puts every write on disk; WriteError when the disk does not take them.
    void sync();

private:
    // The row GDAL writes with these values, laid out as the table's.
    const std::string& spelt(const ColumnValues& values);
    void stampToday();

    std::string dbf_;
    std::unique_ptr<TableFile> reader_;
    int fd_ = -1;
    Layout layout_;
    std::string scratch_;
    DatasetHandle scratchDs_;
    OGRLayer* scratchLayer_ = nullptr;
    std::string row_;
    bool stamped_ = false;
};

}  // namespace quor::platform::gis::detail
