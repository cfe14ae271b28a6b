#pragma once
// The table a change of a shapefile's fields put a new one in place of,
// held open from the first look at it to the end of the writer's work. A
// program that opened it before (a GIS with the layer open, an editor that
// keeps its file open) writes into this file, not into the new table, even
// once no name is left to it: an open file outlives its name on every
// disk. What such a program wrote is kept beside the table.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/gis/table_layout.h"

namespace quor::platform::gis::detail {

// A table as it was read: its bytes before and after the rows, and a
// digest of each row.
struct TableAsRead {
    Layout layout;
    std::string head, tail;
    std::vector<std::uint64_t> rows;
};

class ReplacedTable {
public:
    ReplacedTable(std::unique_ptr<TableFile> file, TableAsRead read)
        : file_(std::move(file)), read_(std::move(read)) {}

    // Keeps what another program wrote into the table since it was read
    // beside the table (platform::keepBeside()), and tells it: where, and
    // what the edit was. Nothing when the table holds what was read.
    std::optional<std::string> keepEdit() const;

private:
    // What another program changed, in words ("3 rows changed"), or nothing.
    std::optional<std::string> edit() const;

    std::unique_ptr<TableFile> file_;
    TableAsRead read_;
};

}  // namespace quor::platform::gis::detail
