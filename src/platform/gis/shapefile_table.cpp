#include "platform/gis/shapefile_table.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <atomic>

#include "platform/disk_writes.h"
#include "platform/file_replacement.h"
#include "platform/gis/gdal_handle.h"
#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/table_layout.h"

namespace quor::platform::gis::detail {

namespace {

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
        const std::size_t at = kTableHeaderBytes + i * kFieldDescriptionBytes;
        if (table.size() < at + kFieldDescriptionBytes) throw GisError("The fields cannot be described.");
        out.push_back(table.substr(at, kFieldDescriptionBytes));
        // The place in the row is the reader's to work out.
        std::fill(out.back().begin() + 12, out.back().begin() + 16, '\0');
    }
    return out;
}

// The rows of the new table, made from the old ones a block at a time:
// each block holds about a megabyte of new rows, however many fields are
// added, in one buffer that never grows.
class NewRows {
public:
    NewRows(const TableFile& in, const Layout& old, const std::vector<Column>& added,
            const std::vector<const Column*>& emptied)
        : in_(in), old_(old), emptied_(emptied) {
        for (const auto& c : added) added_.append(c.width, emptyByte(c.type));
        const std::uint64_t rowLength = old.rowLength + added_.size();
        perBlock_ = std::max<std::uint64_t>(1, (1u << 20) / rowLength);
        block_.reserve(static_cast<std::size_t>(perBlock_ * rowLength));
        oldRows_.reserve(static_cast<std::size_t>(perBlock_ * old.rowLength));
    }

    std::uint64_t perBlock() const { return perBlock_; }

    // The new rows from `row` on, a block of them at most.
    const std::string& from(std::uint64_t row) {
        const std::uint64_t n = std::min(perBlock_, old_.rows - row);
        const std::size_t oldLength = static_cast<std::size_t>(old_.rowLength);
        in_.read(old_.headerLength + row * old_.rowLength, static_cast<std::size_t>(n) * oldLength, oldRows_);
        block_.clear();
        for (std::size_t r = 0; r < n; ++r) {
            const std::size_t start = block_.size(), at = r * oldLength;
            // What some writers pad a row with goes after the new fields:
            // every reader finds a field by adding up the widths before it.
            block_.append(oldRows_, at, fieldsEnd_);
            block_ += added_;
            block_.append(oldRows_, at + fieldsEnd_, oldLength - fieldsEnd_);
            for (const Column* c : emptied_)
                std::fill_n(block_.begin() + static_cast<std::ptrdiff_t>(start + c->offset), c->width,
                            emptyByte(c->type));
        }
        return block_;
    }

private:
    const TableFile& in_;
    const Layout& old_;
    const std::vector<const Column*>& emptied_;
    std::string added_;
    std::size_t fieldsEnd_ = old_.fieldsEnd();
    std::uint64_t perBlock_ = 1;
    std::string oldRows_, block_;
};

}  // namespace

void replaceTable(const std::string& dbf, const TableChange& change) {
    const TableFile in(dbf);
    const Layout t = readLayout(in);
    const std::vector<std::string> descriptions = descriptionsOf(change.add);

    // The new fields follow the old ones.
    std::size_t fieldsEnd = t.fieldsEnd();
    std::vector<Column> added;
    for (const auto& d : descriptions) {
        added.push_back(columnOf(d, fieldsEnd));
        if (t.find(added.back().name)) throw GisError("Field " + added.back().name + " already exists.");
        for (std::size_t k = 0; k + 1 < added.size(); ++k)
            if (equalsIgnoreCase(added[k].name, added.back().name))
                throw GisError("Field " + added.back().name + " already exists.");
        fieldsEnd += added.back().width;
    }
    std::uint64_t rowLength = t.rowLength;
    for (const auto& c : added) rowLength += c.width;
    const std::uint64_t headerLength = t.headerLength + kFieldDescriptionBytes * added.size();
    if (rowLength > kMaxTableLength || headerLength > kMaxTableLength)
        throw GisError("The table " + dbf + " cannot hold more fields: its rows would be wider than a table allows.");

    std::vector<const Column*> emptied;
    for (const auto& name : change.empty)
        if (const Column* c = t.find(name)) emptied.push_back(c);

    std::string header = t.header;
    putLe16(header, 8, headerLength);
    putLe16(header, 10, rowLength);
    for (const auto& d : t.descriptions) header += d;
    for (const auto& d : descriptions) header += d;
    header += kFieldsEndMark;
    header += t.afterFields;

    // The header's rows are the table every reader sees: anything the old
    // file held past them is left out, and the end mark closes the table
    // when the old one had one (or anything else) there.
    const bool endMark = in.size() > t.rowsEnd();
    const std::uint64_t tableBytes = headerLength + t.rows * rowLength + (endMark ? 1 : 0);
    try {
        FileReplacement out(dbf);
        out.reserve(tableBytes);
        out.append(header);
        NewRows rows(in, t, added, emptied);
        for (std::uint64_t row = 0; row < t.rows; row += rows.perBlock()) out.append(rows.from(row));
        if (endMark) out.append(std::string_view(&kTableEndMark, 1));
        out.commit();
    } catch (const UnconfirmedError&) {
        throw;
    } catch (const WriteError& e) {
        if (isNoRoom(e.error())) throw TableNoRoom(e.what(), tableBytes);
        throw GisError(e.what());
    }
}

}  // namespace quor::platform::gis::detail
