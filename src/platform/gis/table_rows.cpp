#include "platform/gis/table_rows.h"

#include <fcntl.h>
#include <unistd.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string_view>
#include <thread>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <variant>

#include "platform/disk_writes.h"
#include "platform/file_replacement.h"
#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/shapefile_files.h"
#include "platform/gis/value_read_back.h"

namespace fs = std::filesystem;

namespace quor::platform::gis::detail {

std::uint64_t WrittenRows::digestOf(std::uint32_t set, const Layout& layout, std::string_view row) const {
    std::uint64_t h = kDigestStart;
    for (const int column : columns_[set - 1]) {
        const Column& c = layout.columns[static_cast<std::size_t>(column)];
        h = digestMore(h, row.substr(c.offset, c.width));
    }
    return h;
}

void WrittenRows::record(std::uint64_t row, const std::vector<int>& columns, const Layout& layout,
                         const std::string& bytes) {
    // Rows of a run are written with the same fields: a new set is rare.
    std::uint32_t set = sets_[row];
    if (set == 0 || columns_[set - 1] != columns) {
        const auto found = std::find(columns_.begin(), columns_.end(), columns);
        set = static_cast<std::uint32_t>(found - columns_.begin()) + 1;
        if (found == columns_.end()) columns_.push_back(columns);
    }
    if (sets_[row] == 0) ++recorded_;
    sets_[row] = set;
    digests_[row] = digestOf(set, layout, bytes);
}

void WrittenRows::forget(std::uint64_t row) {
    if (sets_[row] != 0) --recorded_;
    sets_[row] = 0;
}

void WrittenRows::redigest(const TableFile& table, const Layout& layout) {
    forEachRow(table, layout, std::min<std::uint64_t>(sets_.size(), layout.rows), [&](std::uint64_t r, std::string_view row) {
        if (sets_[r] != 0) digests_[r] = digestOf(sets_[r], layout, row);
    });
}

std::int64_t WrittenRows::heldIn(const TableFile& table, const Layout& there, const Layout& written) const {
    // Each set of columns written, found by name in the table there, by
    // the column numbers written here: a table that lacks one of them, or
    // holds it in another width, holds none of that set's values.
    std::vector<std::optional<Layout>> by(columns_.size());
    for (std::size_t set = 0; set < columns_.size(); ++set) {
        Layout mapped;
        mapped.columns.resize(written.columns.size());
        bool all = true;
        for (const int column : columns_[set]) {
            const Column& mine = written.columns[static_cast<std::size_t>(column)];
            const Column* theirs = nullptr;
            for (const auto& c : there.columns)
                if (c.name == mine.name) {
                    theirs = &c;
                    break;
                }
            if (!theirs) theirs = there.find(mine.name);
            all = all && theirs && theirs->width == mine.width;
            if (!all) break;
            mapped.columns[static_cast<std::size_t>(column)] = *theirs;
        }
        if (all) by[set] = std::move(mapped);
    }
    std::int64_t held = 0;
    forEachRow(table, there, std::min<std::uint64_t>(sets_.size(), there.rows), [&](std::uint64_t r, std::string_view row) {
        if (sets_[r] != 0 && by[sets_[r] - 1] && digestOf(sets_[r], *by[sets_[r] - 1], row) == digests_[r]) ++held;
    });
    return held;
}

void WrittenRows::noteShapes(const std::string& dbf) {
    if (!shapes_.empty()) return;
    for (const char* ext : {".shp", ".shx"}) {
        std::string path = partBeside(dbf, ext);
        if (path.empty()) path = fs::path(dbf).replace_extension(ext).string();
        shapes_.emplace_back(path, stampOfFile(path));
    }
}

std::optional<std::string> WrittenRows::shapesChanged() const {
    for (const auto& [path, then] : shapes_) {
        const FileStamp now = stampOfFile(path);
        if (now == then) continue;
        if (then.exists && !now.exists)
            return "The file " + path +
                   " was removed by another program during the run; without it the point dataset cannot be opened.";
        return "The file " + path +
               " was changed by another program during the run; its shapes may no longer be those of the table's "
               "rows.";
    }
    return std::nullopt;
}

TableRowWriter::TableRowWriter(const std::string& dbf, std::unique_ptr<WrittenRows> rows)
    : dbf_(dbf), file_(std::make_unique<TableFile>(dbf, true)),
      speller_(TableShape::of(dbf, *file_, readLayout(*file_))), layout_(speller_.shape()->layout),
      rows_(std::move(rows)) {
    if (rows_)
        rows_->redigest(*file_, layout_);
    else
        rows_ = std::make_unique<WrittenRows>(layout_.rows);
    rows_->noteShapes(dbf);
    own_ = stampOfOpenFile(file_->descriptor());
}

TableRowWriter::~TableRowWriter() = default;

void TableRowWriter::requireSameTable(bool header) const {
    // The path still names the file this writer opened, and nothing wrote
    // into it since its own last write: any write, even one that keeps the
    // size and the header, changes the file's stamp, and one in the same
    // step of the clock as this writer's last write the row it wrote.
    bool same = stampOfFile(dbf_) == own_;
    if (same && header) {
        // Rewritten in place: its header is no longer the one read, the
        // date this writer stamps aside.
        std::string& headerNow = bytesNow_;
        try {
            file_->read(0, static_cast<std::size_t>(layout_.headerLength), headerNow);
        } catch (const GisError&) {
            headerNow.clear();  // shorter than the header it had
        }
        const std::string& atOpen = speller_.shape()->header;
        same = headerNow.size() == atOpen.size() && headerNow.compare(0, 1, atOpen, 0, 1) == 0 &&
               headerNow.compare(4, std::string::npos, atOpen, 4) == 0;
    }
    for (std::size_t k = 0; same && k < lastWritten_.size(); ++k) {
        const auto& [from, bytes] = lastWritten_[k];
        try {
            file_->read(lastRowStart_ + from, bytes.size(), bytesNow_);
        } catch (const GisError&) {
            bytesNow_.clear();
        }
        same = bytesNow_ == bytes;
    }
    if (!same) replaced();
}

void TableRowWriter::requireFields(const OGRFeatureDefn& fields) const {
    if (!speller_.sameFields(fields)) replaced();
}

void TableRowWriter::replaced() const {
    // The other program may be writing it still (a copy over it in place
    // takes a moment): it is counted once it has stood still a while.
    const auto count = [&] {
        try {
            const TableFile now(dbf_);
            return rows_->heldIn(now, readLayout(now), layout_);
        } catch (const GisError&) {
            return std::int64_t{0};  // nothing of it can be read: none of the rows is there for sure
        }
    };
    std::int64_t held = 0;
    FileStamp seen = stampOfFile(dbf_);
    for (int wait = 0; wait < 50; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const FileStamp now = stampOfFile(dbf_);
        if (now != seen) {
            seen = now;
            continue;
        }
        held = count();
        if (stampOfFile(dbf_) == seen) break;
        seen = stampOfFile(dbf_);
    }
    throw TableReplacedError("The table " + dbf_ +
                                 " was replaced or rewritten by another program during the run; nothing more was "
                                 "written into it.",
                             held);
}

const std::string& TableRowWriter::bytesFor(const ColumnValues& values, const SpeltRow* ahead) {
    speller_.requireTypesHold(values);
    // A field widened by an earlier row's write laid the table out anew:
    // a row spelt ahead for the old layout is spelt again.
    if (ahead && ahead->values == values && ahead->shape && ahead->shape->spellsAs(*speller_.shape()))
        return ahead->bytes;
    return speller_.spelt(values);
}

void TableRowWriter::write(std::int64_t row, const ColumnValues& values, const SpeltRow* ahead) {
    if (row < 0 || static_cast<std::uint64_t>(row) >= layout_.rows)
        throw GisError("The table " + dbf_ + " has no row " + std::to_string(row) + ".");
    const std::string* spelling = nullptr;
    try {
        spelling = &bytesFor(values, ahead);
    } catch (const FieldsWidened&) {
        requireSameTable(false);  // the table laid out anew must be the one written
        throw;
    }
    const std::string& bytes = *spelling;
    std::vector<int> columns;
    columns.reserve(values.size());
    for (const auto& [column, value] : values) columns.push_back(column);
    std::sort(columns.begin(), columns.end());
    columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
    // Neighbouring fields go in one write.
    std::vector<Span> spans;
    for (std::size_t k = 0; k < columns.size();) {
        const Column& first = layout_.columns[static_cast<std::size_t>(columns[k])];
        Span span{first.offset, first.offset + first.width, {}};
        for (++k; k < columns.size() && layout_.columns[static_cast<std::size_t>(columns[k])].offset <= span.to; ++k) {
            const Column& c = layout_.columns[static_cast<std::size_t>(columns[k])];
            span.to = std::max(span.to, c.offset + c.width);
        }
        spans.push_back(std::move(span));
    }
    const std::uint64_t rowStart = layout_.rowStart(static_cast<std::uint64_t>(row));
    try {
        for (auto& span : spans) file_->read(rowStart + span.from, span.to - span.from, span.old);
    } catch (const GisError&) {
        requireSameTable(false);  // cut short by another program's rewrite just now
        throw;
    }
    // Looked at just before the write: another program's write between a
    // look and this write would go under it unseen.
    requireSameTable(false);
    stampToday();
    rows_->mark(static_cast<std::uint64_t>(row));
    const int fd = file_->descriptor();
    for (std::size_t k = 0; k < spans.size(); ++k) {
        const Span& span = spans[k];
        const int e = writeAllAt(fd, std::string_view(bytes).substr(span.from, span.to - span.from), rowStart + span.from);
        if (e == 0) continue;
        // A write cut short leaves the site as it was where it can, so
        // that no half of its values is read as its results; what the disk
        // then holds is read back, since the put-back may be refused too.
        for (std::size_t back = 0; back <= k; ++back) writeAllAt(fd, spans[back].old, rowStart + spans[back].from);
        bool asBefore = true, asWritten = true;
        for (const Span& s : spans) {
            try {
                file_->read(rowStart + s.from, s.to - s.from, readBack_);
            } catch (const GisError&) {
                asBefore = asWritten = false;
                break;
            }
            asBefore = asBefore && readBack_ == s.old;
            asWritten = asWritten && readBack_.compare(0, std::string::npos, bytes, s.from, s.to - s.from) == 0;
        }
        const std::string why = "Cannot write file " + dbf_ + ": " + writeFailureText(e);
        if (!asBefore && asWritten) break;
        // The put-back was a write too; the row it left is no write's whole.
        wroteUntil(-1, {}, {});
        rows_->forget(static_cast<std::uint64_t>(row));
        if (asBefore) throw WriteError(why, e);
        throw PartlyStoredError(why + "; the row's fields may hold part of its new values");
    }
    rows_->record(static_cast<std::uint64_t>(row), columns, layout_, bytes);
    wroteUntil(row, spans, bytes);
}

void TableRowWriter::wroteUntil(std::int64_t row, const std::vector<Span>& spans, const std::string& bytes) {
    own_ = stampOfOpenFile(file_->descriptor());
    lastWritten_.resize(row < 0 ? 0 : spans.size());
    if (row < 0) return;
    lastRowStart_ = layout_.rowStart(static_cast<std::uint64_t>(row));
    for (std::size_t k = 0; k < spans.size(); ++k) {
        lastWritten_[k].first = spans[k].from;
        lastWritten_[k].second.assign(bytes, spans[k].from, spans[k].to - spans[k].from);
    }
}

void TableRowWriter::stampToday() {
    // GDAL dates the table by the day of its last change; so does this.
    if (stamped_) return;
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    const std::string date{static_cast<char>(utc.tm_year), static_cast<char>(utc.tm_mon + 1),
                           static_cast<char>(utc.tm_mday)};
    if (layout_.header.compare(1, 3, date) != 0) {
        const int e = writeAllAt(file_->descriptor(), date, 1);
        own_ = stampOfOpenFile(file_->descriptor());
        if (e) throw WriteError("Cannot write file " + dbf_ + ": " + writeFailureText(e), e);
    }
    stamped_ = true;
}

void TableRowWriter::sync() {
    if (::fdatasync(file_->descriptor()) != 0) {
        const int e = errno;
        throw WriteError("Cannot write file " + dbf_ + ": " + writeFailureText(e), e);
    }
    // On disk, but perhaps in a file another program has put aside, or
    // written into between a check and a write of this writer's: every row
    // written must hold what it was given.
    requireSameTable(true);
    bool whole = false;
    try {
        whole = rows_->heldIn(*file_, layout_, layout_) == rows_->recorded();
    } catch (const GisError&) {
        // cut short by another program's write
    }
    if (!whole) replaced();
    if (const auto changed = rows_->shapesChanged())
        throw TableReplacedError(*changed, rows_->heldIn(*file_, layout_, layout_));
}

}  // namespace quor::platform::gis::detail
