#include "platform/gis/feature_class.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "platform/disk_writes.h"
#include "platform/file_replacement.h"
#include "platform/gis/gdal_support.h"
#include "platform/gis/shapefile_table.h"
#include "platform/gis/sqlite_file.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/table_layout.h"
#include "platform/gis/workspace.h"

namespace quor::platform::gis {

namespace {

FieldType fieldTypeOf(const OGRFieldDefn& fd) {
    switch (fd.GetType()) {
        case OFTInteger: return fd.GetSubType() == OFSTInt16 ? FieldType::SmallInteger : FieldType::Integer;
        case OFTInteger64: return FieldType::Integer;
        case OFTReal: return fd.GetSubType() == OFSTFloat32 ? FieldType::Single : FieldType::Double;
        case OFTDate:
        case OFTDateTime:
        case OFTTime: return FieldType::Date;
        default: return FieldType::String;
    }
}

GeometryType geometryTypeOf(OGRwkbGeometryType t) {
    switch (wkbFlatten(t)) {
        case wkbPoint:
        case wkbMultiPoint: return GeometryType::Point;
        case wkbLineString:
        case wkbMultiLineString:
        case wkbCircularString:
        case wkbCompoundCurve:
        case wkbMultiCurve: return GeometryType::Polyline;
        case wkbPolygon:
        case wkbMultiPolygon:
        case wkbCurvePolygon:
        case wkbMultiSurface: return GeometryType::Polygon;
        default: return GeometryType::None;
    }
}

Feature toFeature(OGRFeature& of, const std::shared_ptr<const Fields>& fields) {
    Feature f(fields);
    f.setOid(of.GetFID());
    f.setShape(detail::fromOgr(of.GetGeometryRef()));
    const int n = of.GetFieldCount();
    for (int i = 0; i < n && i + 2 < fields->count(); ++i) {
        if (!of.IsFieldSetAndNotNull(i)) continue;
        const OGRFieldDefn* fd = of.GetFieldDefnRef(i);
        switch (fd->GetType()) {
            case OFTInteger:
            case OFTInteger64: f.setValue(i + 2, static_cast<std::int64_t>(of.GetFieldAsInteger64(i))); break;
            case OFTReal: f.setValue(i + 2, of.GetFieldAsDouble(i)); break;
            default: f.setValue(i + 2, std::string(of.GetFieldAsString(i))); break;
        }
    }
    f.settle();
    return f;
}

// Fills an OGR feature from ours; fields are matched by position when the
// feature was made from this class's field list, else by name.
void fillOgr(OGRFeature& of, const Feature& f, const Fields& classFields, bool samePositions) {
    auto g = detail::toOgr(f.shape());
    if (g) of.SetGeometryDirectly(g.release());
    const int n = of.GetFieldCount();
    if (samePositions) {
        for (int i = 0; i < n; ++i) detail::putOgrValue(of, i, f.value(i + 2));
        return;
    }
    for (int k = 2; k < f.fieldCount(); ++k) {
        const int pos = classFields.findField(f.fields().field(k).name);
        if (pos >= 2) detail::putOgrValue(of, pos - 2, f.value(k));
    }
}

}  // namespace

FeatureClass::FeatureClass(std::shared_ptr<Workspace> ws, std::string name) : ws_(std::move(ws)), name_(std::move(name)) {}

bool sameDataset(const FeatureClass& a, const FeatureClass& b) {
    return &a == &b || (a.name() == b.name() && a.workspace() && b.workspace() &&
                        a.workspace()->path() == b.workspace()->path());
}

namespace {

// Why the rows of `name` cannot be read. Another program may have removed
// the class from a geodatabase this one holds open: GDAL then speaks of
// SQL, the user is told in words.
std::string readFailure(const detail::ErrorCapture& err, const std::string& name, const std::string& fallback) {
    const std::string said = err.message(fallback);
    if (said.find("no such table") != std::string::npos)
        return "The dataset " + name + " no longer exists: another program has removed it.";
    return said;
}

}  // namespace

OGRLayer* FeatureClass::ogrLayer() const {
    if (layer_ && generation_ == ws_->generation()) return layer_;
    layer_ = ws_->layerOf(name_);
    if (!layer_) throw GisError("The feature class " + name_ + " does not exist.");
    generation_ = ws_->generation();
    return layer_;
}

GeometryType FeatureClass::geometryType() const { return geometryTypeOf(ogrLayer()->GetGeomType()); }

std::shared_ptr<const Fields> FeatureClass::fields() const {
    OGRLayer* l = ogrLayer();
    if (fields_ && fieldsGeneration_ == ws_->generation()) return fields_;
    std::vector<FieldDef> defs;
    std::string shape = l->GetGeometryColumn();
    std::string fid = l->GetFIDColumn();
    // In-memory classes stand in for geodatabase classes and look like them.
    const bool memory = ws_->kind() == WorkspaceKind::Memory;
    const bool shp = ws_->kind() != WorkspaceKind::GeoPackage && !memory;
    if (memory && shape.empty()) shape = "shape";
    if (memory && fid.empty()) fid = "OBJECTID";
    defs.push_back({shape.empty() ? "Shape" : shape, FieldType::Geometry, shp ? "Shape" : "geometry"});
    defs.push_back({fid.empty() ? "FID" : fid, FieldType::ObjectId, shp ? "FID" : "object identifier"});
    defs[0].editable = defs[1].editable = false;
    OGRFeatureDefn* defn = l->GetLayerDefn();
    for (int i = 0; i < defn->GetFieldCount(); ++i) {
        const OGRFieldDefn* fd = defn->GetFieldDefn(i);
        const char* alt = fd->GetAlternativeNameRef();
        defs.push_back({fd->GetNameRef(), fieldTypeOf(*fd), alt && *alt ? alt : fd->GetNameRef(), fd->GetWidth()});
        // GDAL marks the shape length and area that a file geodatabase keeps
        // up to date by this default.
        const char* dflt = fd->GetDefault();
        if (dflt && std::string_view(dflt).rfind("FILEGEODATABASE_SHAPE_", 0) == 0) defs.back().editable = false;
    }
    fields_ = std::make_shared<const Fields>(std::move(defs));
    fieldsGeneration_ = ws_->generation();
    return fields_;
}

FieldKind FeatureClass::fieldKind(int pos) const {
    const OGRFeatureDefn* defn = ogrLayer()->GetLayerDefn();
    if (pos < 2 || pos - 2 >= defn->GetFieldCount()) throw GisError("The field index is out of range.");
    const OGRFieldDefn& fd = *defn->GetFieldDefn(pos - 2);
    FieldKind kind;
    switch (fd.GetType()) {
        case OFTInteger:
        case OFTInteger64:
            if (fd.GetSubType() == OFSTBoolean) {
                kind.words = "a logical field";
                break;
            }
            kind.wholes = true;
            kind.words = "an integer field";
            break;
        case OFTReal:
            kind.wholes = kind.reals = true;
            if (fd.GetWidth() > 0) kind.decimals = fd.GetPrecision();
            kind.words = "a real-number field";
            break;
        case OFTString:
            if (ws_->kind() == WorkspaceKind::ShapefileFolder) {
                const std::string types = ws_->shapefileFieldTypes(name_);
                const auto at = static_cast<std::size_t>(pos - 2);
                if (at < types.size() && types[at] != 'C') {
                    kind.words = detail::typeWords(types[at]);
                    break;
                }
            }
            kind.texts = true;
            kind.words = "a text field";
            break;
        case OFTDate:
        case OFTTime:
        case OFTDateTime: kind.words = "a date field"; break;
        case OFTBinary: kind.words = "a binary field"; break;
        default: kind.words = "a list field"; break;
    }
    return kind;
}

std::vector<FieldDef> FeatureClass::attributeFields() const {
    const auto f = fields();
    return {f->all().begin() + 2, f->all().end()};
}

namespace {

// What a change of a class's fields does, as the user reads it when it fails.
std::string changeText(const std::string& name, bool adding, bool emptying) {
    if (adding && emptying) return "The fields cannot be added to " + name + " nor its earlier values emptied";
    if (adding) return "The fields cannot be added to " + name;
    return "The earlier values of " + name + " cannot be emptied";
}

std::string kB(std::uint64_t bytes) { return std::to_string((bytes + 1023) / 1024) + " kB"; }

// The new table is made whole beside the old one: it needs all its bytes
// free, not only what it adds.
std::string noRoomText(const std::string& what, const std::string& folder, std::uint64_t tableBytes) {
    const auto free = platform::freeSpace(folder);
    const std::string need = free && *free < tableBytes ? kB(tableBytes - *free) + " more are needed"
                                                        : "the new table takes " + kB(tableBytes);
    return what + ": " + platform::kDiskFullText + " (" + need + "). Nothing was changed.";
}

}  // namespace

void FeatureClass::addFields(const std::vector<FieldDef>& defs) { changeFields(defs, {}); }

void FeatureClass::clearUnfinishedChange() const {
    if (ws_->kind() == WorkspaceKind::ShapefileFolder && !ws_->readOnly()) ws_->clearUnfinishedTable(name_);
}

void FeatureClass::changeFields(const std::vector<FieldDef>& add, const std::vector<std::string>& empty) {
    for (std::size_t i = 0; i < add.size(); ++i) {
        if (findField(add[i].name) >= 0) throw GisError("Field " + add[i].name + " already exists.");
        for (std::size_t k = 0; k < i; ++k)
            if (equalsIgnoreCase(add[k].name, add[i].name)) throw GisError("Field " + add[i].name + " is given twice.");
    }
    std::vector<std::string> held;
    for (const auto& name : empty)
        if (const int pos = findField(name); pos >= 2) held.push_back(fields()->field(pos).name);
    if (add.empty() && held.empty()) {
        clearUnfinishedChange();
        return;
    }
    if (ws_->readOnly()) throw GisError("The workspace " + ws_->path() + " is read-only.");
    const std::string what = changeText(name_, !add.empty(), !held.empty());
    try {
        if (ws_->kind() == WorkspaceKind::ShapefileFolder) {
            ws_->replaceShapefileTable(name_, {add, held});
            return;
        }
        Workspace::Transaction tx(*ws_);
        for (const auto& def : add) {
            detail::ErrorCapture err;
            auto fd = detail::makeOgrField(def);
            const OGRErr e = ogrLayer()->CreateField(fd.get());
            ws_->fieldsChanged();
            if (e != OGRERR_NONE) throw GisError(err.message("Field " + def.name + " cannot be added to " + shown() + "."));
        }
        if (!held.empty()) {
            std::vector<int> positions;
            for (const auto& name : held) positions.push_back(findField(name));
            auto cursor = search();
            while (auto f = cursor.next()) {
                for (const int pos : positions) f->setValue(pos, FieldValue{});
                store(*f);
            }
        }
        tx.commit();
    } catch (const detail::TableNoRoom& e) {
        throw DiskFullError(noRoomText(what, ws_->path(), e.tableBytes()));
    } catch (const PartlyChangedError&) {
        throw;
    } catch (const detail::TableChangedError&) {
        throw;  // it tells what became of the table
    } catch (const GisError& e) {
        // A geodatabase tells a full disk in its own words, which name the
        // statement it was running: the user is told what happened.
        if (detail::saysDiskFull(e.what()))
            throw DiskFullError(what + ": " + platform::kDiskFullText + ". Nothing was changed.");
        throw GisError(what + ": " + e.what() + " Nothing was changed.");
    }
}

std::int64_t FeatureClass::featureCount() const {
    OGRLayer* l = ogrLayer();
    const GIntBig counted = l->GetFeatureCount(TRUE);
    if (ws_->kind() != WorkspaceKind::ShapefileFolder || counted <= 0) return counted;
    // GDAL counts a shapefile's deleted rows, but hands out none of them.
    return counted - static_cast<GIntBig>(detail::deletedRows(ws_->path() + "/" + name_ + ".shp",
                                                               static_cast<std::uint64_t>(counted)));
}

std::optional<Feature> FeatureClass::findFeature(std::int64_t oid) const {
    // A row this program wrote values into is read as the disk holds it.
    if (ws_->rowWritten(name_, oid)) ws_->settleRows(name_);
    OGRLayer* l = ogrLayer();
    detail::ErrorCapture err;
    OGRFeatureUniquePtr of(l->GetFeature(oid));
    // A damaged file reports an error, and a truncated shapefile still hands
    // out the row with its shape missing; a missing id reports nothing.
    if (err.failed()) throw GisError(readFailure(err, name_, "The feature cannot be read from " + shown() + "."));
    if (!of) return std::nullopt;
    return toFeature(*of, fields());
}

Feature FeatureClass::feature(std::int64_t oid) const {
    auto f = findFeature(oid);
    if (!f) throw GisError("A feature with object id " + std::to_string(oid) + " was not found in " + name_ + ".");
    return std::move(*f);
}

Feature FeatureClass::createFeature() const { return Feature(fields()); }

namespace {

// The values set in `f` since it was read, by their place among the
// class's attribute fields.
detail::ColumnValues changedValues(const Feature& f, const Fields& classFields, bool samePositions) {
    detail::ColumnValues values;
    for (int k = 2; k < f.fieldCount(); ++k) {
        if (!f.changed(k)) continue;
        const int pos = samePositions ? k : classFields.findField(f.fields().field(k).name);
        if (pos >= 2) values.emplace_back(pos - 2, f.value(k));
    }
    return values;
}

}  // namespace

detail::ColumnValues valuesToStore(const Feature& f) { return changedValues(f, f.fields(), true); }

std::shared_ptr<RowsAhead> FeatureClass::rowsAhead() const {
    if (ws_->kind() != WorkspaceKind::ShapefileFolder) return nullptr;
    return ws_->rowsAhead(name_);
}

std::int64_t FeatureClass::store(Feature& f, const SpeltRow* ahead) {
    const bool shapefile = ws_->kind() == WorkspaceKind::ShapefileFolder;
    if (ws_->kind() == WorkspaceKind::GeoPackage) ws_->openForWriting();
    auto fl = fields();
    if (shapefile && f.oid() >= 0 && !f.shapeChanged()) {
        // A row that exists gets only the values set since it was read,
        // written into its fields: the shape and the user's other values
        // are not written at all.
        const auto values = changedValues(f, *fl, f.fieldsPtr() == fl);
        try {
            if (!values.empty()) ws_->writeRowValues(name_, f.oid(), values, ahead);
        } catch (const platform::FileError& e) {
            throw GisError("The feature cannot be stored in " + shown() + " (" + e.what() + ").");
        }
        f.settle();
        return f.oid();
    }
    if (shapefile) ws_->openForWriting();
    OGRLayer* l = ogrLayer();
    detail::ErrorCapture err;
    if (ws_->kind() == WorkspaceKind::GeoPackage && f.oid() >= 0 && !f.shapeChanged()) {
        // Only the values set since the row was read are written, as into
        // a shapefile's row: neither the shape nor its index is touched.
        using Outcome = detail::GeoPackageRows::Outcome;
        const auto values = changedValues(f, *fl, f.fieldsPtr() == fl);
        const Outcome done = ws_->updateRowValues(*l, f.oid(), values);
        if (done != Outcome::NotHandled) {
            if (done != Outcome::Written) throw GisError(err.message("The feature cannot be stored in " + shown() + "."));
            ws_->written(name_);
            f.settle();
            return f.oid();
        }
    }
    OGRFeature of(l->GetLayerDefn());
    fillOgr(of, f, *fl, f.fieldsPtr() == fl);
    if (f.oid() < 0) {
        if (ws_->kind() == WorkspaceKind::Memory) {
            // GDAL counts in-memory rows from 0; object ids run from 1.
            GIntBig next = l->GetFeatureCount(FALSE) + 1;
            while (std::unique_ptr<OGRFeature>(l->GetFeature(next))) ++next;
            of.SetFID(next);
        }
        if (l->CreateFeature(&of) != OGRERR_NONE)
            throw GisError(err.message("The feature cannot be stored in " + shown() + "."));
        f.setOid(of.GetFID());
    } else {
        of.SetFID(f.oid());
        if (l->SetFeature(&of) != OGRERR_NONE)
            throw GisError(err.message("The feature cannot be stored in " + shown() + "."));
    }
    ws_->written(name_);
    f.settle();
    return f.oid();
}

void FeatureClass::deleteFeature(std::int64_t oid) {
    ws_->openForWriting();
    detail::ErrorCapture err;
    OGRLayer* l = ogrLayer();
    const OGRErr e = l->DeleteFeature(oid);
    if (e != OGRERR_NONE && e != OGRERR_NON_EXISTING_FEATURE)
        throw GisError(err.message("The feature cannot be deleted from " + shown() + "."));
    ws_->written(name_);
}

std::string FeatureClass::shown() const {
    switch (ws_->kind()) {
        case WorkspaceKind::ShapefileFolder: return ws_->path() + "/" + name_ + ".shp";
        case WorkspaceKind::Memory: return name_;
        default: return name_ + " in " + ws_->path();
    }
}

std::int64_t FeatureClass::wholeFeatureCount(bool noneIsWhole) const {
    const bool shapefile = ws_->kind() == WorkspaceKind::ShapefileFolder;
    if (ws_->kind() == WorkspaceKind::GeoPackage) detail::requireSqlitePagesWhole(*ws_->dataset(), ws_->path());
    return detail::wholeFeatureCount(*ogrLayer(), shown(), shapefile ? shown() : std::string(), noneIsWhole);
}

FeatureCursor FeatureClass::search() const {
    OGRLayer* l = ogrLayer();
    std::vector<std::int64_t> oids;
    oids.reserve(static_cast<std::size_t>(std::max<GIntBig>(0, l->GetFeatureCount(FALSE))));
    detail::ErrorCapture err;
    // Only the ids are wanted here: skip the shapes and attributes.
    CPLStringList ignored;
    ignored.AddString("OGR_GEOMETRY");
    OGRFeatureDefn* defn = l->GetLayerDefn();
    for (int i = 0; i < defn->GetFieldCount(); ++i) ignored.AddString(defn->GetFieldDefn(i)->GetNameRef());
    l->SetIgnoredFields(const_cast<const char**>(ignored.List()));
    l->ResetReading();
    while (OGRFeatureUniquePtr of{l->GetNextFeature()}) oids.push_back(of->GetFID());
    l->SetIgnoredFields(nullptr);
    l->ResetReading();
    if (err.failed()) throw GisError(readFailure(err, name_, "The features of " + shown() + " cannot be read."));
    std::sort(oids.begin(), oids.end());
    return FeatureCursor(shared_from_this(), std::move(oids));
}

FeatureCursor FeatureClass::search(std::vector<std::int64_t> oids) const {
    return FeatureCursor(shared_from_this(), std::move(oids));
}

std::vector<std::int64_t> FeatureClass::selectIntersecting(const Geometry& area) const {
    OGRLayer* l = ogrLayer();
    std::vector<std::int64_t> oids;
    auto filter = detail::toOgr(area);
    if (!filter) return oids;
    const Envelope e = area.envelope();
    detail::ErrorCapture err;
    l->SetSpatialFilterRect(e.minX, e.minY, e.maxX, e.maxY);
    l->ResetReading();
    while (OGRFeatureUniquePtr of{l->GetNextFeature()}) {
        const OGRGeometry* g = of->GetGeometryRef();
        if (g && filter->Intersects(g)) oids.push_back(of->GetFID());
    }
    l->SetSpatialFilter(nullptr);
    l->ResetReading();
    if (err.failed()) throw GisError(readFailure(err, name_, "The features of " + shown() + " cannot be read."));
    std::sort(oids.begin(), oids.end());
    return oids;
}

InsertCursor FeatureClass::insertCursor(bool buffered) { return InsertCursor(shared_from_this(), buffered); }

void FeatureClass::flush() {
    // A geodatabase's committed rows are in its file, and GDAL's own writes
    // into a shapefile went to disk as they were made.
    if (ws_->kind() == WorkspaceKind::ShapefileFolder) ws_->endWrites(name_);
    // As GDAL's own sync of a geodatabase's layer, the table is dated.
    if (ws_->kind() == WorkspaceKind::GeoPackage) ws_->stampRowsWritten();
}

void FeatureClass::requireGone(std::int64_t oid) const {
    OGRLayer* l = ogrLayer();
    const std::string fid = l->GetFIDColumn();
    const std::string where = (fid.empty() ? std::string("FID") : detail::sqlName(fid)) + " = " + std::to_string(oid);
    detail::ErrorCapture err;
    bool there = false;
    if (l->SetAttributeFilter(where.c_str()) == OGRERR_NONE) {
        l->ResetReading();
        there = OGRFeatureUniquePtr{l->GetNextFeature()} != nullptr;
    }
    l->SetAttributeFilter(nullptr);
    l->ResetReading();
    if (there || err.failed())
        throw GisError(err.message("The feature with object id " + std::to_string(oid) + " cannot be read from " +
                                   shown() + "."));
}

SpatialReference FeatureClass::spatialReference() const {
    if (auto sr = ws_->alteredSpatialReference(name_)) return *sr;
    if (const OGRSpatialReference* sr = ogrLayer()->GetSpatialRef()) return SpatialReference::fromOgr(sr);
    // GDAL reads a .prj it cannot make sense of as no reference at all.
    if (ws_->kind() == WorkspaceKind::ShapefileFolder)
        for (const char* ext : {".prj", ".PRJ"}) {
            const std::string prj = ws_->path() + "/" + name_ + ext;
            std::error_code ec;
            if (std::filesystem::exists(prj, ec)) return SpatialReference::unreadable(prj);
        }
    return {};
}

namespace {

void pointAtUndefinedCartesian(GDALDataset& ds, const std::string& table) {
    detail::ErrorCapture err;
    CPLErrorReset();
    for (const char* registry : {"gpkg_geometry_columns", "gpkg_contents"}) {
        const std::string sql = std::string("UPDATE ") + registry +
                                " SET srs_id=-1 WHERE lower(table_name)=lower(" + detail::sqlText(table) + ")";
        detail::SqlResult result(ds, sql);
        if (CPLGetLastErrorType() >= CE_Failure) throw GisError(err.message("The spatial reference cannot be changed."));
    }
}

}  // namespace

void FeatureClass::alterSpatialReference(const SpatialReference& sr) {
    OGRLayer* l = ogrLayer();
    if (ws_->readOnly()) throw GisError("The workspace " + ws_->path() + " is read-only.");
    if (ws_->kind() == WorkspaceKind::GeoPackage) {
        ws_->openForWriting();
        l = ogrLayer();
        // The class's table must exist before its registration can change.
        l->SyncToDisk();
        detail::ErrorCapture err;
        if (l->GetLayerDefn()->GetGeomFieldCount() < 1)
            throw GisError("The spatial reference of " + name_ + " cannot be changed: the class has no shape.");
        if (!sr) {
            // OGR would register "no reference" as the undefined geographic
            // one, which reads back as a reference; the class is meant to be
            // the undefined Cartesian one (-1), as a new class is.
            pointAtUndefinedCartesian(*ws_->dataset(), name_);
            ws_->setAlteredSpatialReference(name_, sr);
            return;
        }
        // OGR registers the reference in the GeoPackage (or finds it there)
        // and points the class at it; the coordinates stay as they are.
        OGRGeomFieldDefn changed(l->GetLayerDefn()->GetGeomFieldDefn(0));
        // The definition keeps a reference of its own to the copy.
        OGRSpatialReference* copy = sr.ogr() ? sr.ogr()->Clone() : nullptr;
        changed.SetSpatialRef(copy);
        if (copy) copy->Release();
        if (l->AlterGeomFieldDefn(0, &changed, ALTER_GEOM_FIELD_DEFN_SRS_FLAG) != OGRERR_NONE)
            throw GisError(err.message("The spatial reference cannot be changed."));
    } else if (ws_->kind() == WorkspaceKind::ShapefileFolder) {
        const std::string prj = ws_->path() + "/" + name_ + ".prj";
        if (sr) {
            OGRSpatialReference copy(*sr.ogr());
            copy.morphToESRI();
            char* wkt = nullptr;
            copy.exportToWkt(&wkt);
            const std::string text = wkt ? wkt : "";
            CPLFree(wkt);
            try {
                platform::FileReplacement out(prj);
                out.append(text);
                out.commit();
            } catch (const platform::FileError& e) {
                throw GisError("The spatial reference cannot be written to " + prj + " (" + e.what() + ").");
            }
        } else {
            std::remove(prj.c_str());
        }
    } else if (ws_->kind() == WorkspaceKind::Memory) {
        // No file to change: the reference given is the class's from now on.
    } else {
        throw GisError("The spatial reference of " + name_ + " cannot be changed.");
    }
    ws_->setAlteredSpatialReference(name_, sr);
}

Envelope FeatureClass::extent() const {
    OGREnvelope e;
    Envelope out;
    detail::ErrorCapture err;
    if (ogrLayer()->GetExtent(&e, TRUE) == OGRERR_NONE) {
        out.expand(Point{e.MinX, e.MinY});
        out.expand(Point{e.MaxX, e.MaxY});
    }
    return out;
}

// ---- cursors ----

FeatureCursor::FeatureCursor(std::shared_ptr<const FeatureClass> fc, std::vector<std::int64_t> oids)
    : fc_(std::move(fc)), oids_(std::move(oids)) {}

namespace {

// Rows of a geodatabase read in one query: a run reads its sites a few
// dozen at a time rather than one statement each.
constexpr std::size_t kRowsReadTogether = 64;

// The ids from `from` that one query reads: ascending and close together,
// at most `most` of them.
std::vector<std::int64_t> idsReadTogether(const std::vector<std::int64_t>& oids, std::size_t from, std::size_t most) {
    std::vector<std::int64_t> ids;
    for (std::size_t k = from; k < oids.size() && ids.size() < most; ++k) {
        if (!ids.empty() && (oids[k] <= ids.back() || oids[k] - ids.front() >= static_cast<std::int64_t>(2 * kRowsReadTogether)))
            break;
        ids.push_back(oids[k]);
    }
    return ids;
}

}  // namespace

std::vector<std::optional<Feature>> FeatureClass::findFeatures(const std::vector<std::int64_t>& oids) const {
    std::vector<std::optional<Feature>> found(oids.size());
    if (ws_->kind() != WorkspaceKind::GeoPackage || oids.size() < 2) {
        for (std::size_t k = 0; k < oids.size(); ++k) found[k] = findFeature(oids[k]);
        return found;
    }
    OGRLayer* l = ogrLayer();
    const std::string fid = l->GetFIDColumn();
    const std::string column = fid.empty() ? std::string("FID") : detail::sqlName(fid);
    const std::string where = column + " >= " + std::to_string(oids.front()) + " AND " + column +
                              " <= " + std::to_string(oids.back());
    detail::ErrorCapture err;
    const auto fields = this->fields();
    if (l->SetAttributeFilter(where.c_str()) == OGRERR_NONE) {
        l->ResetReading();
        while (OGRFeatureUniquePtr of{l->GetNextFeature()}) {
            const auto at = std::lower_bound(oids.begin(), oids.end(), of->GetFID());
            if (at != oids.end() && *at == of->GetFID()) found[static_cast<std::size_t>(at - oids.begin())] = toFeature(*of, fields);
        }
    }
    l->SetAttributeFilter(nullptr);
    l->ResetReading();
    if (err.failed()) throw GisError(readFailure(err, name_, "The features of " + shown() + " cannot be read."));
    return found;
}

std::optional<Feature> FeatureCursor::next() {
    while (fc_ && pos_ < oids_.size()) {
        if (aheadAt_ == ahead_.size()) {
            // A file's rows are read one by one, each as late as it can be.
            const bool geodatabase = fc_->workspace()->kind() == WorkspaceKind::GeoPackage;
            ahead_ = fc_->findFeatures(idsReadTogether(oids_, pos_, geodatabase ? kRowsReadTogether : 1));
            aheadAt_ = 0;
        }
        const std::int64_t oid = oids_[pos_++];
        if (auto& f = ahead_[aheadAt_++]) return std::move(f);
        // A geodatabase that cannot read a row (a full disk) hands out
        // nothing, as for a missing one, and says no more.
        fc_->requireGone(oid);
    }
    return std::nullopt;
}

FlushAtExit::~FlushAtExit() {
    try {
        if (fc_) fc_->flush();
    } catch (...) {
    }
}

InsertCursor::InsertCursor(std::shared_ptr<FeatureClass> fc, bool buffered) : fc_(std::move(fc)), buffered_(buffered) {}

std::int64_t InsertCursor::insert(const Feature& f) {
    if (buffered_) {
        queue_.push_back(f);
        queue_.back().setOid(-1);
        return -1;
    }
    Feature copy = f;
    copy.setOid(-1);
    return fc_->store(copy);
}

void InsertCursor::flush() {
    std::vector<Feature> batch;
    batch.swap(queue_);
    if (batch.empty()) return;
    Workspace::Transaction tx(*fc_->workspace());
    for (auto& f : batch) fc_->store(f);
    tx.commit();
}

}  // namespace quor::platform::gis
