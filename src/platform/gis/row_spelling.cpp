#include "platform/gis/row_spelling.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <variant>

#include "platform/gis/gdal_handle.h"
#include "platform/gis/gdal_support.h"
#include "platform/gis/shapefile_files.h"

namespace fs = std::filesystem;

namespace quor::platform::gis {

namespace detail {

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

std::string valueText(const FieldValue& value) {
    if (const auto* s = std::get_if<std::string>(&value)) return "\"" + *s + "\"";
    if (const auto* n = std::get_if<std::int64_t>(&value)) return std::to_string(*n);
    if (const auto* d = std::get_if<double>(&value)) return CPLSPrintf("%.17g", *d);
    return "no value";
}

}  // namespace

FieldsWidened::FieldsWidened(std::vector<std::pair<int, std::string>> descriptions)
    : GisError("A value needs a wider field than the table has."), descriptions_(std::move(descriptions)) {}

std::shared_ptr<const TableShape> TableShape::of(const std::string& dbf, const TableFile& file, Layout layout) {
    auto shape = std::make_shared<TableShape>();
    shape->dbf = dbf;
    shape->header = file.read(0, static_cast<std::size_t>(layout.headerLength));
    shape->layout = std::move(layout);
    shape->codePage = codePageOf(dbf);
    return shape;
}

bool TableShape::spellsAs(const TableShape& other) const {
    // The header's row count and date tell nothing of a row's spelling.
    return this == &other || (header.size() == other.header.size() && header.compare(0, 1, other.header, 0, 1) == 0 &&
                              header.compare(8, std::string::npos, other.header, 8) == 0 &&
                              codePage == other.codePage);
}

struct RowSpeller::Twin {
    std::string folder, path;
    DatasetHandle ds;
    OGRLayer* layer = nullptr;
    ~Twin() {
        ds.reset();
        if (!folder.empty()) VSIRmdirRecursive(folder.c_str());
    }
};

RowSpeller::RowSpeller(std::shared_ptr<const TableShape> shape)
    : shape_(std::move(shape)), twin_(std::make_unique<Twin>()) {
    // A table in memory with the same fields, code page and one row: what
    // GDAL writes into that row is what it would write into the table.
    ensureGdal();
    const Layout& layout = shape_->layout;
    static std::atomic<unsigned> serial{0};
    twin_->folder = "/vsimem/quor-row-" + std::to_string(serial++);
    twin_->path = twin_->folder + "/" + fs::path(shape_->dbf).filename().string();
    std::string table = shape_->header;
    putLe32(table, 4, 1);
    table += ' ';
    table.append(static_cast<std::size_t>(layout.rowLength) - 1, ' ');
    table += kTableEndMark;
    writeMemFile(twin_->path, table);
    if (shape_->codePage) writeMemFile(fs::path(twin_->path).replace_extension(".cpg").string(), *shape_->codePage);
    ErrorCapture err;
    const char* drivers[] = {"ESRI Shapefile", nullptr};
    twin_->ds.reset(static_cast<GDALDataset*>(
        GDALOpenEx(twin_->path.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, drivers, nullptr, nullptr)));
    twin_->layer = twin_->ds && twin_->ds->GetLayerCount() == 1 ? twin_->ds->GetLayer(0) : nullptr;
    if (!twin_->layer || twin_->layer->GetLayerDefn()->GetFieldCount() != static_cast<int>(layout.columns.size()))
        throw GisError(err.message("The table " + shape_->dbf + " cannot be written: GDAL reads its fields otherwise."));
    const OGRFeatureDefn& fields = *twin_->layer->GetLayerDefn();
    for (std::size_t i = 0; i < layout.columns.size(); ++i)
        holdings_.push_back(holdingOf(*fields.GetFieldDefn(static_cast<int>(i)), layout.columns[i].type));
}

RowSpeller::~RowSpeller() = default;

void RowSpeller::requireTypesHold(const ColumnValues& values) const {
    const Layout& layout = shape_->layout;
    for (const auto& [column, value] : values) {
        if (column < 0 || static_cast<std::size_t>(column) >= layout.columns.size())
            throw GisError("The table " + shape_->dbf + " has no field " + std::to_string(column) + ".");
        const Column& c = layout.columns[static_cast<std::size_t>(column)];
        // A date or logical field's empty value is GDAL's own; nothing
        // else goes into a field that is neither text nor number.
        if (holdsNumbersAndTexts(c.type) || (isEmptyValue(value) && (c.type == 'D' || c.type == 'L'))) continue;
        throw GisError("The field " + c.name + " of the table " + shape_->dbf + " is " + typeWords(c.type) +
                       ": it cannot hold the value " + valueText(value) + ".");
    }
}

const std::string& RowSpeller::spelt(const ColumnValues& values) {
    const Layout& layout = shape_->layout;
    ErrorCapture err;
    OGRFeature f(twin_->layer->GetLayerDefn());
    f.SetFID(0);
    for (const auto& [column, value] : values) putOgrValue(f, column, value);
    if (twin_->layer->SetFeature(&f) != OGRERR_NONE || twin_->layer->SyncToDisk() != OGRERR_NONE)
        throw GisError(err.message("The values cannot be given to the fields of " + shape_->dbf + "."));
    vsi_l_offset length = 0;
    const GByte* bytes = VSIGetMemFileBuffer(twin_->path.c_str(), &length, FALSE);
    if (!bytes || length < layout.headerLength + layout.rowLength)
        throw GisError("The values cannot be given to the fields of " + shape_->dbf + ".");
    // GDAL widens a field in its own table when a text or a whole number
    // does not fit; the row is then laid out otherwise than the user's table.
    std::vector<std::pair<int, std::string>> widened;
    for (std::size_t i = 0; i < layout.descriptions.size(); ++i) {
        const char* description = reinterpret_cast<const char*>(bytes) + kTableHeaderBytes + i * kFieldDescriptionBytes;
        if (layout.descriptions[i].compare(0, kFieldDescriptionBytes, description, kFieldDescriptionBytes) != 0)
            widened.emplace_back(static_cast<int>(i), std::string(description, kFieldDescriptionBytes));
    }
    // A real number too wide for its field GDAL cuts short with no more
    // than a warning: what its reader gets back from the row tells,
    // unless the row's bytes plainly hold every value.
    const char* twinRow = reinterpret_cast<const char*>(bytes) + layout.headerLength;
    bool plain = widened.empty();
    for (std::size_t k = 0; plain && k < values.size(); ++k) {
        const auto column = static_cast<std::size_t>(values[k].first);
        const Column& c = layout.columns[column];
        plain = plainlyWhole(holdings_[column], std::string_view(twinRow + c.offset, c.width), values[k].second);
    }
    if (!plain) requireReadBack(values, widened, err);
    if (!widened.empty()) throw FieldsWidened(std::move(widened));
    row_.assign(twinRow, static_cast<std::size_t>(layout.rowLength));
    return row_;
}

void RowSpeller::requireReadBack(const ColumnValues& values, std::vector<std::pair<int, std::string>>& widened,
                                 const ErrorCapture& err) const {
    const Layout& layout = shape_->layout;
    const OGRFeatureUniquePtr back(twin_->layer->GetFeature(0));
    if (!back) throw GisError(err.message("The values given to the fields of " + shape_->dbf + " cannot be read back."));
    for (const auto& [column, value] : values) {
        if (readsBackAs(*back, column, value)) continue;
        const auto isWidened = [column = column](const auto& w) { return w.first == column; };
        if (std::any_of(widened.begin(), widened.end(), isWidened)) continue;
        const Column& c = layout.columns[static_cast<std::size_t>(column)];
        const auto width = wholeWidth(*back->GetFieldDefnRef(column), value);
        if (!width || *width <= c.width || *width > kMaxFieldWidth)
            throw GisError("The field " + c.name + " of the table " + shape_->dbf + " cannot hold the value " +
                           valueText(value) + " as it is.");
        std::string description = layout.descriptions[static_cast<std::size_t>(column)];
        description[16] = static_cast<char>(*width);
        widened.emplace_back(column, std::move(description));
    }
}

bool RowSpeller::sameFields(const OGRFeatureDefn& fields) const {
    const OGRFeatureDefn& now = *twin_->layer->GetLayerDefn();
    bool same = fields.GetFieldCount() == now.GetFieldCount();
    for (int i = 0; same && i < now.GetFieldCount(); ++i) {
        const OGRFieldDefn &a = *fields.GetFieldDefn(i), &b = *now.GetFieldDefn(i);
        same = std::strcmp(a.GetNameRef(), b.GetNameRef()) == 0 && a.GetType() == b.GetType() &&
               a.GetWidth() == b.GetWidth() && a.GetPrecision() == b.GetPrecision();
    }
    return same;
}

}  // namespace detail

void RowsAhead::publish(std::shared_ptr<const detail::TableShape> shape) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (shape_ && shape && shape_->spellsAs(*shape)) return;  // rows spelt so far still hold
    shape_ = std::move(shape);
    published_.fetch_add(1, std::memory_order_release);
}

RowsAhead::Speller::Speller(std::shared_ptr<const RowsAhead> rows) : rows_(std::move(rows)) {}
RowsAhead::Speller::~Speller() = default;
RowsAhead::Speller::Speller(Speller&&) noexcept = default;
RowsAhead::Speller& RowsAhead::Speller::operator=(Speller&&) noexcept = default;

std::optional<SpeltRow> RowsAhead::Speller::spell(detail::ColumnValues values) {
    if (!rows_) return std::nullopt;
    const std::uint64_t now = rows_->published_.load(std::memory_order_acquire);
    if (now != seen_ || !speller_) {
        std::shared_ptr<const detail::TableShape> shape;
        {
            std::lock_guard<std::mutex> lock(rows_->mutex_);
            shape = rows_->shape_;
        }
        seen_ = now;
        speller_.reset();
        if (!shape) return std::nullopt;
        try {
            speller_ = std::make_unique<detail::RowSpeller>(std::move(shape));
        } catch (const GisError&) {
            return std::nullopt;  // the writer tells at the commit
        }
    }
    try {
        speller_->requireTypesHold(values);
        std::string bytes = speller_->spelt(values);
        return SpeltRow{speller_->shape(), std::move(values), std::move(bytes)};
    } catch (const GisError&) {
        // A widening GDAL made in the twin stays there: the next row gets a new one.
        speller_.reset();
        return std::nullopt;
    }
}

}  // namespace quor::platform::gis
