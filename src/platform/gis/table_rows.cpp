#include "platform/gis/table_rows.h"

#include <fcntl.h>
#include <unistd.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/disk_writes.h"
#include "platform/file_replacement.h"
#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/shapefile_files.h"

namespace fs = std::filesystem;

namespace quor::platform::gis::detail {

namespace {

void writeMemFile(const std::string& path, const std::string& bytes) {
    VSILFILE* f = VSIFOpenL(path.c_str(), "wb");
    const bool ok = f && VSIFWriteL(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f) VSIFCloseL(f);
    if (!ok) throw GisError("The fields of the table cannot be spelt out in memory.");
}

// The text of the table's code page file, which tells GDAL how text is
// spelt in it, or nothing when it has none.
std::optional<std::string> codePageOf(const std::string& dbf) {
    const std::string cpg = partBeside(dbf, ".cpg");
    if (cpg.empty()) return std::nullopt;
    std::ifstream in(cpg, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TableRowWriter::TableRowWriter(const std::string& dbf) : dbf_(dbf) {
    reader_ = std::make_unique<TableFile>(dbf);
    layout_ = readLayout(*reader_);
    fd_ = ::open(dbf.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) throw GisError("The table " + dbf + " cannot be written: " + std::strerror(errno) + ".");

    // A table in memory with the same fields, code page and one row: what
    // GDAL writes into that row is what it would write into the table.
    ensureGdal();
    static std::atomic<unsigned> serial{0};
    const std::string folder = "/vsimem/quor-row-" + std::to_string(serial++);
    scratch_ = folder + "/" + fs::path(dbf).filename().string();
    std::string table = reader_->read(0, static_cast<std::size_t>(layout_.headerLength));
    putLe32(table, 4, 1);
    table += ' ';
    table.append(static_cast<std::size_t>(layout_.rowLength) - 1, ' ');
    table += kTableEndMark;
    writeMemFile(scratch_, table);
    if (const auto codePage = codePageOf(dbf))
        writeMemFile(fs::path(scratch_).replace_extension(".cpg").string(), *codePage);
    ErrorCapture err;
    const char* drivers[] = {"ESRI Shapefile", nullptr};
    scratchDs_.reset(static_cast<GDALDataset*>(
        GDALOpenEx(scratch_.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, drivers, nullptr, nullptr)));
    scratchLayer_ = scratchDs_ && scratchDs_->GetLayerCount() == 1 ? scratchDs_->GetLayer(0) : nullptr;
    if (!scratchLayer_ ||
        scratchLayer_->GetLayerDefn()->GetFieldCount() != static_cast<int>(layout_.columns.size()))
        throw GisError(err.message("The table " + dbf + " cannot be written: GDAL reads its fields otherwise."));
}

TableRowWriter::~TableRowWriter() {
    scratchDs_.reset();
    if (!scratch_.empty()) VSIRmdirRecursive(fs::path(scratch_).parent_path().c_str());
    if (fd_ >= 0) ::close(fd_);
}

const std::string& TableRowWriter::spelt(const ColumnValues& values) {
    ErrorCapture err;
    OGRFeature f(scratchLayer_->GetLayerDefn());
    f.SetFID(0);
    for (const auto& [column, value] : values) putOgrValue(f, column, value);
    if (scratchLayer_->SetFeature(&f) != OGRERR_NONE || scratchLayer_->SyncToDisk() != OGRERR_NONE)
        throw GisError(err.message("The values cannot be given to the fields of " + dbf_ + "."));
    vsi_l_offset length = 0;
    const GByte* bytes = VSIGetMemFileBuffer(scratch_.c_str(), &length, FALSE);
    if (!bytes || length < layout_.headerLength + layout_.rowLength) throw GisError("The values cannot be given to the fields of " + dbf_ + ".");
    row_.assign(reinterpret_cast<const char*>(bytes) + layout_.headerLength,
                static_cast<std::size_t>(layout_.rowLength));
    return row_;
}

void TableRowWriter::write(std::int64_t row, const ColumnValues& values) {
    if (row < 0 || static_cast<std::uint64_t>(row) >= layout_.rows)
        throw GisError("The table " + dbf_ + " has no row " + std::to_string(row) + ".");
    const std::string& bytes = spelt(values);
    std::vector<const Column*> columns;
    for (const auto& [column, value] : values) {
        if (column < 0 || static_cast<std::size_t>(column) >= layout_.columns.size())
            throw GisError("The table " + dbf_ + " has no field " + std::to_string(column) + ".");
        columns.push_back(&layout_.columns[static_cast<std::size_t>(column)]);
    }
    std::sort(columns.begin(), columns.end(), [](const Column* a, const Column* b) { return a->offset < b->offset; });
    // Neighbouring fields go in one write.
    struct Span {
        std::size_t from, to;
        std::string old;
    };
    std::vector<Span> spans;
    for (std::size_t k = 0; k < columns.size();) {
        Span span{columns[k]->offset, columns[k]->offset + columns[k]->width, {}};
        for (++k; k < columns.size() && columns[k]->offset <= span.to; ++k)
            span.to = std::max(span.to, columns[k]->offset + columns[k]->width);
        spans.push_back(std::move(span));
    }
    const std::uint64_t rowStart = layout_.headerLength + static_cast<std::uint64_t>(row) * layout_.rowLength;
    for (auto& span : spans) reader_->read(rowStart + span.from, span.to - span.from, span.old);
    stampToday();
    for (std::size_t k = 0; k < spans.size(); ++k) {
        const Span& span = spans[k];
        if (const int e = writeAllAt(fd_, std::string_view(bytes).substr(span.from, span.to - span.from),
                                     rowStart + span.from)) {
            // A write cut short leaves the site as it was where it can, so
            // that no half of its values is read as its results.
            for (std::size_t back = 0; back <= k; ++back)
                writeAllAt(fd_, spans[back].old, rowStart + spans[back].from);
            throw WriteError("Cannot write file " + dbf_ + ": " + writeFailureText(e), e);
        }
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
    if (layout_.header.compare(1, 3, date) != 0)
        if (const int e = writeAllAt(fd_, date, 1))
            throw WriteError("Cannot write file " + dbf_ + ": " + writeFailureText(e), e);
    stamped_ = true;
}

void TableRowWriter::sync() {
    if (::fdatasync(fd_) != 0) {
        const int e = errno;
        throw WriteError("Cannot write file " + dbf_ + ": " + writeFailureText(e), e);
    }
}

}  // namespace quor::platform::gis::detail
