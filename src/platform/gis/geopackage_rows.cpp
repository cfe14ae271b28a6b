#include "platform/gis/geopackage_rows.h"

#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <sqlite3.h>

#include "platform/gis/gdal_support.h"

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
    bool contentsTouched = false;
};

GeoPackageRows::GeoPackageRows(GDALDataset& ds)
    : db_(static_cast<sqlite3*>(ds.GetInternalHandle("SQLITE_HANDLE"))) {}

GeoPackageRows::~GeoPackageRows() = default;

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
        int bound = SQLITE_OK;
        if (!of.IsFieldSetAndNotNull(place)) {
            bound = sqlite3_bind_null(stmt, at);
        } else if (field.GetType() == OFTInteger || field.GetType() == OFTInteger64) {
            bound = sqlite3_bind_int64(stmt, at, of.GetFieldAsInteger64(place));
        } else if (field.GetType() == OFTReal) {
            bound = sqlite3_bind_double(stmt, at, of.GetFieldAsDouble(place));
        } else if (field.GetType() == OFTString) {
            const char* text = of.GetFieldAsString(place);
            // GDAL warns about a text too wide for its field or not in
            // UTF-8; such a value goes through GDAL, as it always did.
            if (!CPLIsUTF8(text, -1) || (field.GetWidth() > 0 && CPLStrlenUTF8(text) > field.GetWidth())) {
                sqlite3_reset(stmt);
                return Outcome::NotHandled;
            }
            bound = sqlite3_bind_text(stmt, at, text, -1, SQLITE_TRANSIENT);
        } else {
            sqlite3_reset(stmt);
            return Outcome::NotHandled;
        }
        if (bound != SQLITE_OK) {
            sqlite3_reset(stmt);
            return Outcome::NotHandled;
        }
        ++at;
    }
    sqlite3_bind_int64(stmt, at, fid);
    const int stepped = sqlite3_step(stmt);
    if (stepped != SQLITE_DONE && stepped != SQLITE_ROW) {
        // In GDAL's words, as its own update reports the failure.
        CPLError(CE_Failure, CPLE_AppDefined, "failed to execute update : %s", sqlite3_errmsg(db_));
        sqlite3_reset(stmt);
        return Outcome::Failed;
    }
    sqlite3_reset(stmt);
    if (sqlite3_changes(db_) == 0) return Outcome::NoRow;
    if (!t.contentsTouched) {
        // The table's entry says when its content last changed, as GDAL
        // keeps it for the rows it writes itself.
        Statement touch;
        if (sqlite3_prepare_v2(db_,
                               "UPDATE gpkg_contents SET last_change = strftime('%Y-%m-%dT%H:%M:%fZ','now') "
                               "WHERE lower(table_name) = lower(?)",
                               -1, &touch.stmt, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(touch.stmt, 1, t.name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_step(touch.stmt);
        }
        t.contentsTouched = true;
    }
    return Outcome::Written;
}

}  // namespace quor::platform::gis::detail
