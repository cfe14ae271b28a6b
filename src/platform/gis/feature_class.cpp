#include "platform/gis/feature_class.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"
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
    return f;
}

void putValue(OGRFeature& of, int i, const FieldValue& v) {
    if (std::holds_alternative<std::monostate>(v)) {
        of.SetFieldNull(i);
    } else if (auto* n = std::get_if<std::int64_t>(&v)) {
        of.SetField(i, static_cast<GIntBig>(*n));
    } else if (auto* d = std::get_if<double>(&v)) {
        of.SetField(i, *d);
    } else {
        of.SetField(i, std::get<std::string>(v).c_str());
    }
}

// Fills an OGR feature from ours; fields are matched by position when the
// feature was made from this class's field list, else by name.
void fillOgr(OGRFeature& of, const Feature& f, const Fields& classFields, bool samePositions) {
    auto g = detail::toOgr(f.shape());
    if (g) of.SetGeometryDirectly(g.release());
    const int n = of.GetFieldCount();
    if (samePositions) {
        for (int i = 0; i < n; ++i) putValue(of, i, f.value(i + 2));
        return;
    }
    for (int k = 2; k < f.fieldCount(); ++k) {
        const int pos = classFields.findField(f.fields().field(k).name);
        if (pos >= 2) putValue(of, pos - 2, f.value(k));
    }
}

}  // namespace

FeatureClass::FeatureClass(std::shared_ptr<Workspace> ws, std::string name) : ws_(std::move(ws)), name_(std::move(name)) {}

OGRLayer* FeatureClass::ogrLayer() const {
    if (layer_ && generation_ == ws_->generation()) return layer_;
    layer_ = nullptr;
    detail::ErrorCapture err;
    GDALDataset* ds = ws_->dataset();
    for (int i = 0; i < ds->GetLayerCount(); ++i) {
        OGRLayer* l = ds->GetLayer(i);
        if (name_ == l->GetName()) {
            layer_ = l;
            break;
        }
    }
    if (!layer_) layer_ = ws_->readOnlyLayer(name_);
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
    const bool shp = ws_->kind() != WorkspaceKind::GeoPackage;
    defs.push_back({shape.empty() ? "Shape" : shape, FieldType::Geometry, shp ? "Shape" : "geometry"});
    defs.push_back({fid.empty() ? "FID" : fid, FieldType::ObjectId, shp ? "FID" : "object identifier"});
    OGRFeatureDefn* defn = l->GetLayerDefn();
    for (int i = 0; i < defn->GetFieldCount(); ++i) {
        const OGRFieldDefn* fd = defn->GetFieldDefn(i);
        const char* alt = fd->GetAlternativeNameRef();
        defs.push_back({fd->GetNameRef(), fieldTypeOf(*fd), alt && *alt ? alt : fd->GetNameRef(), fd->GetWidth()});
    }
    fields_ = std::make_shared<const Fields>(std::move(defs));
    fieldsGeneration_ = ws_->generation();
    return fields_;
}

std::vector<FieldDef> FeatureClass::attributeFields() const {
    const auto f = fields();
    return {f->all().begin() + 2, f->all().end()};
}

void FeatureClass::addField(const FieldDef& def) {
    if (findField(def.name) >= 0) throw GisError("Field " + def.name + " already exists.");
    if (ws_->readOnly()) throw GisError("The workspace " + ws_->path() + " is read-only.");
    detail::ErrorCapture err;
    auto fd = detail::makeOgrField(def);
    if (ogrLayer()->CreateField(fd.get()) != OGRERR_NONE)
        throw GisError(err.message("Field " + def.name + " cannot be added."));
    ws_->bumpGeneration();
}

std::int64_t FeatureClass::featureCount() const {
    OGRLayer* l = ogrLayer();
    return l->GetFeatureCount(TRUE);
}

std::optional<Feature> FeatureClass::findFeature(std::int64_t oid) const {
    OGRLayer* l = ogrLayer();
    detail::ErrorCapture err;
    std::unique_ptr<OGRFeature> of(l->GetFeature(oid));
    // A damaged file reports an error, and a truncated shapefile still hands
    // out the row with its shape missing; a missing id reports nothing.
    if (err.failed()) throw GisError(err.message("The feature cannot be read from " + name_ + "."));
    if (!of) return std::nullopt;
    return toFeature(*of, fields());
}

Feature FeatureClass::feature(std::int64_t oid) const {
    auto f = findFeature(oid);
    if (!f) throw GisError("A feature with object id " + std::to_string(oid) + " was not found in " + name_ + ".");
    return std::move(*f);
}

Feature FeatureClass::createFeature() const { return Feature(fields()); }

std::int64_t FeatureClass::store(Feature& f) {
    OGRLayer* l = ogrLayer();
    auto fl = fields();
    detail::ErrorCapture err;
    OGRFeature of(l->GetLayerDefn());
    fillOgr(of, f, *fl, f.fieldsPtr() == fl);
    if (f.oid() < 0) {
        if (l->CreateFeature(&of) != OGRERR_NONE)
            throw GisError(err.message("The feature cannot be stored in " + name_ + "."));
        f.setOid(of.GetFID());
    } else {
        of.SetFID(f.oid());
        if (l->SetFeature(&of) != OGRERR_NONE)
            throw GisError(err.message("The feature cannot be stored in " + name_ + "."));
    }
    return f.oid();
}

void FeatureClass::deleteFeature(std::int64_t oid) {
    detail::ErrorCapture err;
    const OGRErr e = ogrLayer()->DeleteFeature(oid);
    if (e != OGRERR_NONE && e != OGRERR_NON_EXISTING_FEATURE)
        throw GisError(err.message("The feature cannot be deleted from " + name_ + "."));
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
    while (OGRFeature* of = l->GetNextFeature()) {
        oids.push_back(of->GetFID());
        OGRFeature::DestroyFeature(of);
    }
    l->SetIgnoredFields(nullptr);
    l->ResetReading();
    if (err.failed()) throw GisError(err.message("The features of " + name_ + " cannot be read."));
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
    while (OGRFeature* of = l->GetNextFeature()) {
        const OGRGeometry* g = of->GetGeometryRef();
        if (g && filter->Intersects(g)) oids.push_back(of->GetFID());
        OGRFeature::DestroyFeature(of);
    }
    l->SetSpatialFilter(nullptr);
    l->ResetReading();
    if (err.failed()) throw GisError(err.message("The features of " + name_ + " cannot be read."));
    std::sort(oids.begin(), oids.end());
    return oids;
}

InsertCursor FeatureClass::insertCursor(bool buffered) { return InsertCursor(shared_from_this(), buffered); }

SpatialReference FeatureClass::spatialReference() const {
    if (auto sr = ws_->alteredSpatialReference(name_)) return *sr;
    return SpatialReference::fromOgr(ogrLayer()->GetSpatialRef());
}

namespace {
std::string sqlQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

void execSql(GDALDataset* ds, const std::string& sql) {
    detail::ErrorCapture err;
    CPLErrorReset();
    OGRLayer* res = ds->ExecuteSQL(sql.c_str(), nullptr, nullptr);
    if (res) ds->ReleaseResultSet(res);
    if (CPLGetLastErrorType() >= CE_Failure) throw GisError(err.message("The spatial reference cannot be changed."));
}

long long queryInt(GDALDataset* ds, const std::string& sql, long long fallback) {
    detail::ErrorCapture err;
    OGRLayer* res = ds->ExecuteSQL(sql.c_str(), nullptr, nullptr);
    long long v = fallback;
    if (res) {
        if (OGRFeature* f = res->GetNextFeature()) {
            if (f->IsFieldSetAndNotNull(0)) v = f->GetFieldAsInteger64(0);
            OGRFeature::DestroyFeature(f);
        }
        ds->ReleaseResultSet(res);
    }
    return v;
}
}  // namespace

void FeatureClass::alterSpatialReference(const SpatialReference& sr) {
    OGRLayer* l = ogrLayer();
    if (ws_->readOnly()) throw GisError("The workspace " + ws_->path() + " is read-only.");
    GDALDataset* ds = ws_->dataset();
    if (ws_->kind() == WorkspaceKind::GeoPackage) {
        // The class's table must exist before its registration can change.
        l->SyncToDisk();
        long long srsId = -1;
        if (sr) {
            const int epsg = sr.epsgCode();
            if (epsg > 0) {
                srsId = queryInt(ds,
                                 "SELECT srs_id FROM gpkg_spatial_ref_sys WHERE upper(organization)='EPSG' AND "
                                 "organization_coordsys_id=" + std::to_string(epsg),
                                 -2);
                if (srsId == -2) {
                    const long long taken =
                        queryInt(ds, "SELECT COUNT(*) FROM gpkg_spatial_ref_sys WHERE srs_id=" + std::to_string(epsg), 0);
                    srsId = taken ? queryInt(ds, "SELECT MAX(srs_id)+1 FROM gpkg_spatial_ref_sys", 100000) : epsg;
                    execSql(ds, "INSERT INTO gpkg_spatial_ref_sys (srs_name, srs_id, organization, "
                                "organization_coordsys_id, definition) VALUES (" +
                                    sqlQuote(sr.name()) + "," + std::to_string(srsId) + ",'EPSG'," +
                                    std::to_string(epsg) + "," + sqlQuote(sr.wkt()) + ")");
                }
            } else {
                srsId = std::max(100000LL, queryInt(ds, "SELECT MAX(srs_id)+1 FROM gpkg_spatial_ref_sys", 100000));
                execSql(ds, "INSERT INTO gpkg_spatial_ref_sys (srs_name, srs_id, organization, "
                            "organization_coordsys_id, definition) VALUES (" +
                                sqlQuote(sr.name()) + "," + std::to_string(srsId) + ",'NONE'," +
                                std::to_string(srsId) + "," + sqlQuote(sr.wkt()) + ")");
            }
        }
        const std::string id = std::to_string(srsId);
        execSql(ds, "UPDATE gpkg_geometry_columns SET srs_id=" + id + " WHERE lower(table_name)=lower(" +
                        sqlQuote(name_) + ")");
        execSql(ds, "UPDATE gpkg_contents SET srs_id=" + id + " WHERE lower(table_name)=lower(" + sqlQuote(name_) + ")");
    } else if (ws_->kind() == WorkspaceKind::ShapefileFolder) {
        const std::string prj = ws_->path() + "/" + name_ + ".prj";
        if (sr) {
            OGRSpatialReference copy(*sr.ogr());
            copy.morphToESRI();
            char* wkt = nullptr;
            copy.exportToWkt(&wkt);
            std::ofstream out(prj, std::ios::binary | std::ios::trunc);
            out << (wkt ? wkt : "");
            CPLFree(wkt);
            if (!out) throw GisError("The spatial reference cannot be written to " + prj + ".");
        } else {
            std::remove(prj.c_str());
        }
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

std::optional<Feature> FeatureCursor::next() {
    while (fc_ && pos_ < oids_.size()) {
        auto f = fc_->findFeature(oids_[pos_++]);
        if (f) return f;
    }
    return std::nullopt;
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
