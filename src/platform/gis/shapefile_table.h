#pragma once
// A shapefile's attribute table (".dbf") changed as a whole: fields added
// after the existing ones, fields emptied and fields widened, in one new table made beside
// the old one and renamed over it. The rows' existing bytes are copied as
// they are, so every other column stays byte for byte what it was; the
// ".shp", ".shx", ".prj" and ".cpg" are not touched.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_stamp.h"
#include "platform/gis/fields.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/replaced_table.h"
#include "platform/gis/shapefile_files.h"

namespace quor::platform::gis::detail {

struct TableChange {
    std::vector<FieldDef> add;       // new fields, after the existing ones
    std::vector<std::string> empty;  // existing fields whose values go: every field of each name
    // Existing fields made wider, by their place, with the description GDAL
    // gives them once widened; their values move as GDAL moves them.
    std::vector<std::pair<int, std::string>> widen;

    bool nothing() const { return add.empty() && empty.empty() && widen.empty(); }
};

// The disk had no room for the new table; the old one is as it was.
class TableNoRoom : public std::runtime_error {
public:
    TableNoRoom(const std::string& why, std::uint64_t tableBytes)
        : std::runtime_error(why), tableBytes_(tableBytes) {}
    // How large the new table is: all of it must fit beside the old one.
    std::uint64_t tableBytes() const { return tableBytes_; }

private:
    std::uint64_t tableBytes_;
};

// Another program changed the table while its new version was made; the
// other program's table is left in place.
class TableChangedError : public GisError {
public:
    using GisError::GisError;
};

// Replaces the table `dbf` by one with `change` made; `made` is given the
// new table's stamp just before it was put into place (its device and
// inode are then those of the file at `dbf`). TableNoRoom when the
// disk has no room for it, GisError when the table cannot be read or
// cannot hold the fields: either way the table is as it was, and no
// half-made copy stays behind. TableChangedError when another program
// wrote the table (or put another in its place) after it was read, even
// as the new one was put in its place: its table stays, and the new one
// goes. platform::WrittenMeanwhileError when it wrote into the new one, or
// put its own there, just as it was put in place: that file stays as the
// other program left it (platform::KeptBesideError when the old table,
// with an edit of its own, could not go back: it is kept beside).
// platform::UnconfirmedError when the new table is in place but the disk
// did not confirm it. Once the old table is out of place (and not kept
// beside), `replaced` is given it, held open as it was read, whatever
// follows.
void replaceTable(const std::string& dbf, const TableChange& change, FileStamp* made = nullptr,
                  std::unique_ptr<ReplacedTable>* replaced = nullptr);

}  // namespace quor::platform::gis::detail
