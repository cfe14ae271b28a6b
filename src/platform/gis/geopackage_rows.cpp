#include "platform/gis/geopackage_rows.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <sqlite3.h>

#include <atomic>

#include "platform/gis/gdal_handle.h"
#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"

namespace quor::platform::gis::detail {

namespace {

struct Statement {
    sqlite3_stmt* stmt = nullptr;
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(stmt); }
};

// A copy of a layer's fields as they were: a field added to the layer
// later must not reach a feature made before it.
struct DefnCopy {
    OGRFeatureDefn* defn;
    explicit DefnCopy(const OGRFeatureDefn& of) : defn(of.Clone()) { defn->Reference(); }
    DefnCopy(const DefnCopy&) = delete;
    DefnCopy& operator=(const DefnCopy&) = delete;
    ~DefnCopy() { defn->Release(); }
};

// Whether GDAL binds the field's value as it is, with no conversion of
// its own: numbers, and a text in UTF-8 that fits its field.
bool boundAsItIs(const OGRFeature& of, int place) {
    const OGRFieldDefn& field = *of.GetFieldDefnRef(place);
    switch (field.GetType()) {
        case OFTInteger:
        case OFTInteger64:
        case OFTReal: return true;
        case OFTString: {
            const char* text = of.GetFieldAsString(place);
            return CPLIsUTF8(text, -1) && (field.GetWidth() <= 0 || CPLStrlenUTF8(text) <= field.GetWidth());
        }
        default: return false;
    }
}

}  // namespace

struct GeoPackageRows::Table {
    std::string name;
    std::string fidColumn;
    std::vector<std::string> columns;  // by field place
    DefnCopy fields;
    // GDAL's own conversion of a value into the field's type, as SetFeature
    // would make it before binding.
    std::unique_ptr<OGRFeature> scratch;

    explicit Table(OGRLayer& layer)
        : name(layer.GetName()), fidColumn(layer.GetFIDColumn()), fields(*layer.GetLayerDefn()),
          scratch(std::make_unique<OGRFeature>(fields.defn)) {
        for (int i = 0; i < fields.defn->GetFieldCount(); ++i) columns.emplace_back(fields.defn->GetFieldDefn(i)->GetNameRef());
    }
    std::map<std::vector<int>, std::unique_ptr<Statement>> updates;  // by the fields they set
    bool changed = false;  // written into since its last stamp

    // Its twin in memory, with a row GDAL writes the values into, and the
    // statements that read each field's value back.
    OGRLayer* twin = nullptr;
    bool twinRow = false;
    std::map<int, std::unique_ptr<Statement>> twinReads;
};

// A GeoPackage in memory holding a twin of each table written into.
struct GeoPackageRows::Twin {
    std::string path;
    DatasetHandle ds;
    sqlite3* db = nullptr;
    int tables = 0;

    Twin() {
        static std::atomic<unsigned> serial{0};
        path = "/vsimem/quor-rows-" + std::to_string(serial++) + ".gpkg";
        if (auto* drv = GetGDALDriverManager()->GetDriverByName("GPKG"))
            ds.reset(drv->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        if (ds) db = static_cast<sqlite3*>(ds->GetInternalHandle("SQLITE_HANDLE"));
    }
    ~Twin() {
        ds.reset();
        VSIUnlink(path.c_str());
    }
    Twin(const Twin&) = delete;
    Twin& operator=(const Twin&) = delete;

    // A table of `fields`, without a shape, whose row id is named apart
    // from every field.
    OGRLayer* tableOf(const OGRFeatureDefn& fields) {
        if (!db) return nullptr;
        std::string fid = "fid";
        while (fields.GetFieldIndex(fid.c_str()) >= 0) fid += "_";
        const std::string options[] = {"FID=" + fid, "SPATIAL_INDEX=NO"};
        CPLStringList list;
        for (const auto& o : options) list.AddString(o.c_str());
        OGRLayer* layer = ds->CreateLayer(("twin" + std::to_string(tables++)).c_str(), nullptr, wkbNone, list.List());
        if (!layer) return nullptr;
        for (int i = 0; i < fields.GetFieldCount(); ++i) {
            OGRFieldDefn copy(fields.GetFieldDefn(i));
            if (layer->CreateField(&copy, FALSE) != OGRERR_NONE) return nullptr;
        }
        return layer->GetLayerDefn()->GetFieldCount() == fields.GetFieldCount() ? layer : nullptr;
    }
};

GeoPackageRows::GeoPackageRows(GDALDataset& ds)
    : db_(static_cast<sqlite3*>(ds.GetInternalHandle("SQLITE_HANDLE"))) {}

GeoPackageRows::~GeoPackageRows() {
    ErrorCapture quiet;
    stampChanges();
    sqlite3_finalize(lock_);
    // Each table's statements on the twin go before the twin does.
    tables_.clear();
}

GeoPackageRows::Table& GeoPackageRows::tableOf(OGRLayer& layer) {
    auto& slot = tables_[layer.GetName()];
    if (!slot) slot = std::make_unique<Table>(layer);
    return *slot;
}

sqlite3_stmt* GeoPackageRows::statementFor(Table& t, const ColumnValues& values) {
    std::vector<int> places;
    places.reserve(values.size());
    for (const auto& [place, value] : values) places.push_back(place);
    auto& slot = t.updates[places];
    if (slot) return slot->stmt;
    std::string sql = "UPDATE " + sqlName(t.name) + " SET ";
    for (std::size_t k = 0; k < places.size(); ++k)
        sql += (k ? ", " : "") + sqlName(t.columns[static_cast<std::size_t>(places[k])]) + " = ?";
    sql += " WHERE " + sqlName(t.fidColumn) + " = ?";
    auto made = std::make_unique<Statement>();
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &made->stmt, nullptr) != SQLITE_OK) {
        t.updates.erase(places);
        return nullptr;
    }
    slot = std::move(made);
    return slot->stmt;
}

bool GeoPackageRows::bindAsGdalWrites(Table& t, int place, sqlite3_stmt* stmt, int at) {
    if (!twin_) twin_ = std::make_unique<Twin>();
    if (!t.twin && !(t.twin = twin_->tableOf(*t.fields.defn))) return false;
    OGRFeature row(t.twin->GetLayerDefn());
    row.SetField(place, t.scratch->GetRawFieldRef(place));
    row.SetFID(1);
    if ((t.twinRow ? t.twin->SetFeature(&row) : t.twin->CreateFeature(&row)) != OGRERR_NONE) return false;
    t.twinRow = true;
    auto& read = t.twinReads[place];
    if (!read) {
        read = std::make_unique<Statement>();
        const std::string sql = "SELECT " + sqlName(t.columns[static_cast<std::size_t>(place)]) + " FROM " +
                                sqlName(t.twin->GetName()) + " WHERE " + sqlName(t.twin->GetFIDColumn()) + " = 1";
        if (sqlite3_prepare_v2(twin_->db, sql.c_str(), -1, &read->stmt, nullptr) != SQLITE_OK) {
            read.reset();
            return false;
        }
    }
    // The value is copied as it is bound.
    const bool bound = sqlite3_step(read->stmt) == SQLITE_ROW &&
                       sqlite3_bind_value(stmt, at, sqlite3_column_value(read->stmt, 0)) == SQLITE_OK;
    sqlite3_reset(read->stmt);
    return bound;
}

GeoPackageRows::Outcome GeoPackageRows::write(OGRLayer& layer, std::int64_t fid, const ColumnValues& values) {
    if (!db_ || values.empty() || !*layer.GetFIDColumn()) return Outcome::NotHandled;
    Table& t = tableOf(layer);
    OGRFeature& of = *t.scratch;
    for (const auto& [place, value] : values) {
        if (place < 0 || static_cast<std::size_t>(place) >= t.columns.size()) return Outcome::NotHandled;
        putOgrValue(of, place, value);
    }
    sqlite3_stmt* stmt = statementFor(t, values);
    if (!stmt) return Outcome::NotHandled;
    int at = 1;
    for (const auto& [place, value] : values) {
        const OGRFieldDefn& field = *of.GetFieldDefnRef(place);
        bool bound = false;
        if (!of.IsFieldSetAndNotNull(place)) {
            bound = sqlite3_bind_null(stmt, at) == SQLITE_OK;
        } else if (!boundAsItIs(of, place)) {
            bound = bindAsGdalWrites(t, place, stmt, at);
        } else if (field.GetType() == OFTReal) {
            bound = sqlite3_bind_double(stmt, at, of.GetFieldAsDouble(place)) == SQLITE_OK;
        } else if (field.GetType() == OFTString) {
            bound = sqlite3_bind_text(stmt, at, of.GetFieldAsString(place), -1, SQLITE_TRANSIENT) == SQLITE_OK;
        } else {
            bound = sqlite3_bind_int64(stmt, at, of.GetFieldAsInteger64(place)) == SQLITE_OK;
        }
        if (!bound) {
            sqlite3_reset(stmt);
            return Outcome::NotHandled;
        }
        ++at;
    }
    sqlite3_bind_int64(stmt, at, fid);
    const int stepped = sqlite3_step(stmt);
    if (stepped != SQLITE_DONE && stepped != SQLITE_ROW) {
        if (stepped == SQLITE_BUSY || stepped == SQLITE_LOCKED)
            CPLError(CE_Failure, CPLE_AppDefined,
                     "another program is writing into the file and did not finish within %d seconds (%s)",
                     kBusyWaitSeconds, sqlite3_errmsg(db_));
        else  // in GDAL's words, as its own update reports the failure
            CPLError(CE_Failure, CPLE_AppDefined, "failed to execute update : %s", sqlite3_errmsg(db_));
        sqlite3_reset(stmt);
        return Outcome::Failed;
    }
    sqlite3_reset(stmt);
    if (sqlite3_changes(db_) == 0) return Outcome::NoRow;
    t.changed = true;
    return Outcome::Written;
}

void GeoPackageRows::lockForWriting(const std::string& path) {
    // A write that changes nothing: it writes no byte, and holds the lock
    // until the transaction ends.
    if (!db_ || (!lock_ && sqlite3_prepare_v2(db_, "UPDATE gpkg_contents SET table_name = table_name WHERE 0", -1,
                                              &lock_, nullptr) != SQLITE_OK))
        return;
    const int done = sqlite3_step(lock_);
    sqlite3_reset(lock_);
    // Any other failure is the writes' own to tell, as they come.
    if (done == SQLITE_BUSY || done == SQLITE_LOCKED)
        throw GisError("The geodatabase " + path + " is being written by another program, which did not finish within " +
                       std::to_string(kBusyWaitSeconds) + " seconds.");
}

void GeoPackageRows::stampChanges() {
    if (!db_) return;
    // The table's entry says when its content last changed, as GDAL keeps
    // it for the rows it writes itself.
    const char* given = CPLGetConfigOption("OGR_CURRENT_DATE", nullptr);
    const std::string now = given ? sqlText(given) : "strftime('%Y-%m-%dT%H:%M:%fZ','now')";
    for (auto& [name, t] : tables_) {
        if (!t->changed) continue;
        t->changed = false;
        Statement touch;
        const std::string sql = "UPDATE gpkg_contents SET last_change = " + now + " WHERE lower(table_name) = lower(?)";
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &touch.stmt, nullptr) != SQLITE_OK) continue;
        sqlite3_bind_text(touch.stmt, 1, t->name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(touch.stmt);
    }
}

}  // namespace quor::platform::gis::detail
