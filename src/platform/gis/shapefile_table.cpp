#include "platform/gis/shapefile_table.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <atomic>
#include <string_view>

#include "platform/disk_writes.h"
#include "platform/file_replacement.h"
#include "platform/gis/gdal_handle.h"
#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/shapefile_files.h"
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

// A field's old bytes in its wider place, as GDAL moves them when it
// widens a field: an empty value stays empty, a number is pushed to the
// right, anything else keeps to the left.
void widenValue(std::string& out, std::string_view old, std::size_t width, char type) {
    const std::string_view text = old.substr(0, std::min(old.size(), old.find('\0')));
    bool empty = false;
    switch (type) {
        case 'N':
        case 'F': empty = (!text.empty() && text[0] == '*') || text.find_first_not_of(' ') == std::string_view::npos; break;
        case 'D': empty = text.substr(0, 8) == "00000000" || text == " " || text == "0"; break;
        case 'L': empty = !text.empty() && text[0] == '?'; break;
        default: empty = text.empty();
    }
    if (empty) {
        out.append(width, emptyByte(type));
    } else if (type == 'N' || type == 'F') {
        out.append(width - old.size(), ' ');
        out.append(old);
    } else {
        out.append(old);
        out.append(width - old.size(), ' ');
    }
}

// The rows of the new table, made from the old ones a block at a time:
// each block holds about a megabyte of new rows, however many fields are
// added, in one buffer that never grows.
class NewRows {
public:
    // A stretch of the old row that is copied, or one field widened.
    struct Piece {
        std::size_t from, width, newWidth;
        char type;
    };
    struct Emptied {
        std::size_t offset, width;
        char type;
    };

    NewRows(const TableFile& in, const Layout& old, const std::vector<Column>& added,
            const std::vector<const Column*>& emptied, const std::vector<std::pair<int, std::string>>& widen)
        : in_(in), old_(old) {
        for (const auto& c : added) added_.append(c.width, emptyByte(c.type));
        // The deletion flag and the fields, in pieces: what is not widened
        // is copied in as few pieces as it takes.
        std::vector<std::size_t> newWidth(old.columns.size());
        for (std::size_t i = 0; i < old.columns.size(); ++i) newWidth[i] = old.columns[i].width;
        for (const auto& [column, description] : widen)
            newWidth[static_cast<std::size_t>(column)] = static_cast<unsigned char>(description[16]);
        std::size_t at = 0, newAt = 1;
        std::vector<std::size_t> newOffset(old.columns.size());
        for (std::size_t i = 0; i < old.columns.size(); ++i) {
            const Column& c = old.columns[i];
            newOffset[i] = newAt;
            newAt += newWidth[i];
            if (newWidth[i] == c.width) continue;
            if (c.offset > at) pieces_.push_back({at, c.offset - at, c.offset - at, 0});
            pieces_.push_back({c.offset, c.width, newWidth[i], c.type});
            at = c.offset + c.width;
        }
        fieldsEnd_ = old.fieldsEnd();
        if (fieldsEnd_ > at) pieces_.push_back({at, fieldsEnd_ - at, fieldsEnd_ - at, 0});
        for (const Column* c : emptied) {
            const auto i = static_cast<std::size_t>(c - old.columns.data());
            emptied_.push_back({newOffset[i], newWidth[i], c->type});
        }
        rowLength_ = newAt + added_.size() + (old.rowLength - fieldsEnd_);
        digests_.reserve(static_cast<std::size_t>(old.rows));
        perBlock_ = std::max<std::uint64_t>(1, (1u << 20) / rowLength_);
        block_.reserve(static_cast<std::size_t>(perBlock_ * rowLength_));
        oldRows_.reserve(static_cast<std::size_t>(perBlock_ * old.rowLength));
    }

    std::uint64_t perBlock() const { return perBlock_; }
    std::uint64_t rowLength() const { return rowLength_; }
    // A digest of each old row made into a new one so far, as it was read.
    std::vector<std::uint64_t> takeDigests() { return std::move(digests_); }

    // The new rows from `row` on, a block of them at most.
    const std::string& from(std::uint64_t row) {
        const std::uint64_t n = std::min(perBlock_, old_.rows - row);
        const std::size_t oldLength = static_cast<std::size_t>(old_.rowLength);
        in_.read(old_.rowStart(row), static_cast<std::size_t>(n) * oldLength, oldRows_);
        block_.clear();
        const std::string_view rows(oldRows_);
        for (std::size_t r = 0; r < n; ++r) {
            const std::size_t start = block_.size(), at = r * oldLength;
            digests_.push_back(digestMore(kDigestStart, rows.substr(at, oldLength)));
            for (const Piece& p : pieces_) {
                if (p.width == p.newWidth)
                    block_.append(rows.substr(at + p.from, p.width));
                else
                    widenValue(block_, rows.substr(at + p.from, p.width), p.newWidth, p.type);
            }
            // What some writers pad a row with goes after the new fields:
            // every reader finds a field by adding up the widths before it.
            block_ += added_;
            block_.append(rows.substr(at + fieldsEnd_, oldLength - fieldsEnd_));
            // A deleted row is no site: it keeps its values, should it be recalled.
            if (deletedRow(rows.substr(at, oldLength))) continue;
            for (const Emptied& e : emptied_)
                std::fill_n(block_.begin() + static_cast<std::ptrdiff_t>(start + e.offset), e.width, emptyByte(e.type));
        }
        return block_;
    }

private:
    const TableFile& in_;
    const Layout& old_;
    std::vector<Piece> pieces_;
    std::vector<Emptied> emptied_;
    std::string added_;
    std::size_t fieldsEnd_ = 1;
    std::uint64_t rowLength_ = 0, perBlock_ = 1;
    std::string oldRows_, block_;
    std::vector<std::uint64_t> digests_;
};

// TableChangedError unless the file at `path` is still the table read
// from `dbf` (`read`, laid out as `t`): the same file, unwritten since
// (`moved` aside, its change time is the move's), its header and field
// descriptions as they were.
void requireAsRead(const std::string& path, bool moved, const std::string& dbf, const FileStamp& read, const Layout& t) {
    const FileStamp now = stampOfFile(path);
    bool same = moved ? unwrittenSince(read, now) : now == read;
    if (same) {
        try {
            const TableFile there(path);
            const Layout layout = readLayout(there);
            same = layout.header == t.header && layout.descriptions == t.descriptions;
        } catch (const GisError&) {
            same = false;
        }
    }
    if (!same)
        throw TableChangedError("The table " + dbf +
                                " was changed by another program while this program made its new version; the other "
                                "program's table is kept as it is, and nothing of this program's change went into it.");
}

}  // namespace

void replaceTable(const std::string& dbf, const TableChange& change, FileStamp* made,
                  std::unique_ptr<ReplacedTable>* replaced) {
    auto held = std::make_unique<TableFile>(dbf);
    const TableFile& in = *held;
    // The table as it is read: any write by another program from now on
    // changes it, and would be lost under the new table.
    const FileStamp read = stampOfOpenFile(in.descriptor());
    const Layout t = readLayout(in);
    std::string head = in.read(0, static_cast<std::size_t>(t.headerLength));
    std::string tail = in.read(t.rowsEnd(), static_cast<std::size_t>(in.size() - t.rowsEnd()));
    const std::vector<std::string> descriptions = descriptionsOf(change.add);

    std::vector<std::string> kept = t.descriptions;
    for (const auto& [column, description] : change.widen) {
        if (column < 0 || static_cast<std::size_t>(column) >= kept.size())
            throw GisError("The table " + dbf + " has no field " + std::to_string(column) + ".");
        kept[static_cast<std::size_t>(column)] = description;
    }
    std::vector<Column> added;
    for (const auto& d : descriptions) {
        added.push_back(columnOf(d, 0));
        if (t.find(added.back().name)) throw GisError("Field " + added.back().name + " already exists.");
        for (std::size_t k = 0; k + 1 < added.size(); ++k)
            if (equalsIgnoreCase(added[k].name, added.back().name))
                throw GisError("Field " + added.back().name + " already exists.");
    }
    // Every field of each name, as a re-run empties every field a reader
    // may take for its result.
    std::vector<const Column*> emptied;
    for (const auto& c : t.columns)
        for (const auto& name : change.empty)
            if (equalsIgnoreCase(c.name, name)) {
                emptied.push_back(&c);
                break;
            }
    NewRows rows(in, t, added, emptied, change.widen);

    const std::uint64_t rowLength = rows.rowLength();
    const std::uint64_t headerLength =
        kTableHeaderBytes + kFieldDescriptionBytes * (kept.size() + descriptions.size()) + 1 + t.afterFields.size();
    if (rowLength > kMaxTableLength || headerLength > kMaxTableLength)
        throw GisError("The table " + dbf + " cannot hold more fields: its rows would be wider than a table allows.");

    std::string header = t.header;
    putLe16(header, 8, headerLength);
    putLe16(header, 10, rowLength);
    for (const auto& d : kept) header += d;
    for (const auto& d : descriptions) header += d;
    header += kFieldsEndMark;
    header += t.afterFields;

    // The header's rows are the table every reader sees: anything the old
    // file held past them is left out, and the end mark closes the table
    // when the old one had one (or anything else) there.
    const bool endMark = !tail.empty();
    const std::uint64_t tableBytes = headerLength + t.rows * rowLength + (endMark ? 1 : 0);
    // Once out of place, the old table is held for whoever replaced it:
    // another program may still write into it.
    const auto holdOld = [&] {
        if (!replaced) return;
        TableAsRead asRead{t, std::move(head), std::move(tail), rows.takeDigests()};
        *replaced = std::make_unique<ReplacedTable>(std::move(held), std::move(asRead));
    };
    try {
        FileReplacement out(dbf);
        out.reserve(tableBytes);
        out.append(header);
        for (std::uint64_t row = 0; row < t.rows; row += rows.perBlock()) out.append(rows.from(row));
        if (endMark) out.append(std::string_view(&kTableEndMark, 1));
        out.commit([&](const std::string& path, bool moved) {
            requireAsRead(path, moved, dbf, read, t);
            if (made && !moved) *made = stampOfFile(FileReplacement::partialPath(dbf));
        });
        holdOld();
    } catch (const KeptBesideError&) {
        throw;  // kept where the user sees it
    } catch (const UnconfirmedError&) {
        holdOld();
        throw;
    } catch (const WrittenMeanwhileError&) {
        holdOld();
        throw;
    } catch (const WriteError& e) {
        if (isNoRoom(e.error())) throw TableNoRoom(e.what(), tableBytes);
        throw GisError(e.what());
    }
}

}  // namespace quor::platform::gis::detail
