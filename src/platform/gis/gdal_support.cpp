#include "platform/gis/gdal_support.h"

#include <gdal.h>
#include <gdal_priv.h>
#include <ogr_feature.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <cpl_conv.h>
#include <cpl_error.h>

#include <algorithm>
#include <cctype>
#include <mutex>

#include "platform/gis/gdal_handle.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/shapefile_files.h"
#include "platform/gis/table_layout.h"

namespace quor::platform::gis::detail {

}  // namespace quor::platform::gis::detail

namespace quor::platform::gis {

void startGdal() { detail::ensureGdal(); }

void DatasetCloser::operator()(GDALDataset* ds) const noexcept {
    if (ds) GDALClose(ds);
}

}  // namespace quor::platform::gis

namespace quor::platform::gis::detail {

void ensureGdal() {
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        // GDAL's default cache is a share of the machine's memory, which on a
        // large machine lets a long sampling run grow past a gigabyte.
        constexpr GIntBig cap = 256LL * 1024 * 1024;
        if (GDALGetCacheMax64() > cap) GDALSetCacheMax64(cap);
        // Nothing may be written beside the user's data, and the map view's
        // statistics would otherwise land in "<raster>.aux.xml". Only our own
        // opens read those files again (see AuxiliaryFilesReadable).
        CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
    });
}

AuxiliaryFilesReadable::AuxiliaryFilesReadable() {
    ensureGdal();
    const char* before = CPLGetThreadLocalConfigOption("GDAL_PAM_ENABLED", nullptr);
    if (before) before_ = before;
    hadBefore_ = before != nullptr;
    CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", "YES");
}

AuxiliaryFilesReadable::~AuxiliaryFilesReadable() {
    CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", hadBefore_ ? before_.c_str() : nullptr);
}

ErrorCapture::ErrorCapture() {
    ensureGdal();
    CPLPushErrorHandlerEx(
        [](CPLErr cls, CPLErrorNum no, const char* msg) {
            auto* self = static_cast<ErrorCapture*>(CPLGetErrorHandlerUserData());
            if (!self || cls < CE_Failure || !msg) return;
            if (self->first_.empty()) self->first_ = msg;
            self->last_ = msg;
        },
        this);
}

ErrorCapture::~ErrorCapture() { CPLPopErrorHandler(); }

namespace {

std::string withWords(const std::string& what, const std::string& said) {
    if (said.empty() || what.empty()) return said.empty() ? what : said;
    const auto cut = [](std::string text) {
        while (!text.empty() && (text.back() == '.' || std::isspace(static_cast<unsigned char>(text.back()))))
            text.pop_back();
        return text;
    };
    return cut(what) + " (" + cut(said) + ").";
}

}  // namespace

bool saysDiskFull(const std::string& words) {
    return words.find("disk is full") != std::string::npos || words.find("No space left") != std::string::npos;
}

std::string ErrorCapture::message(const std::string& what) const { return withWords(what, last_); }

std::string ErrorCapture::cause(const std::string& what) const { return withWords(what, first_); }

namespace {

// GDAL reads a shapefile whose table it cannot read (cut short, its header
// damaged) as one without fields, and says nothing: the table is read here.
// Nor does it say when its files hold different rows: it reads as many
// rows as the index of the shapes lists, and a run would empty the others.
void requireTableWhole(const std::string& shp, const std::string& damaged) {
    const std::string dbf = tablePart(shapefileParts(shp));
    if (dbf.empty()) return;
    std::uint64_t rows = 0;
    try {
        const TableFile table(dbf);
        rows = readLayout(table).rows;
    } catch (const GisError& e) {
        std::string why = e.what();
        if (!why.empty() && why.back() == '.') why.pop_back();
        throw GisError(damaged + " (" + why + ").");
    }
    if (const auto why = partsDisagreement(shp, dbf, rows)) throw GisError(damaged + ": " + *why + ".");
}

}  // namespace

std::int64_t wholeFeatureCount(OGRLayer& layer, const std::string& shown, const std::string& shp, bool noneIsWhole) {
    const std::string damaged = "The dataset " + shown + " cannot be read whole";
    if (!shp.empty()) requireTableWhole(shp, damaged);
    ErrorCapture err;
    GIntBig counted = layer.GetFeatureCount(TRUE);
    if (!shp.empty() && counted > 0)
        counted -= static_cast<GIntBig>(deletedRows(shp, static_cast<std::uint64_t>(counted)));
    std::int64_t read = 0;
    layer.ResetReading();
    // GDAL hands out a row whose shape is past the end of a cut ".shp"
    // without one, saying so only as an error: that row is not whole.
    while (OGRFeatureUniquePtr f{layer.GetNextFeature()}) {
        if (err.failed()) break;
        ++read;
    }
    layer.ResetReading();
    if (err.failed()) throw GisError(damaged + " (" + err.message("") + "): it is damaged or cut short.");
    if (read != counted)
        throw GisError(damaged + ": only " + std::to_string(read) + " of the " + std::to_string(counted) +
                       " rows its files count can be read; it is damaged or cut short.");
    if (read == 0 && !noneIsWhole) throw GisError("The dataset " + shown + " holds no features.");
    return read;
}

namespace {

std::string quotedBy(char quote, const std::string& text) {
    std::string q(1, quote);
    for (const char c : text) {
        q += c;
        if (c == quote) q += c;
    }
    return q + quote;
}

}  // namespace

bool dayAsDateTime(const OGRFeature& f, int index, int& year, int& month, int& day) {
    int hour = 0, minute = 0, zone = 0;
    float second = 0;
    // A zone of 0 is none told, 1 the local time: neither names one.
    return f.GetFieldDefnRef(index)->GetType() == OFTDateTime &&
           f.GetFieldAsDateTime(index, &year, &month, &day, &hour, &minute, &second, &zone) && hour == 0 &&
           minute == 0 && second == 0 && zone <= 1;
}

std::string sqlName(const std::string& name) { return quotedBy('"', name); }

std::string sqlText(const std::string& text) { return quotedBy('\'', text); }

SqlResult::SqlResult(GDALDataset& ds, const std::string& sql)
    : ds_(ds), layer_(ds.ExecuteSQL(sql.c_str(), nullptr, nullptr)) {}

SqlResult::~SqlResult() {
    if (layer_) ds_.ReleaseResultSet(layer_);
}

namespace {

OGRFieldType ogrType(FieldType t, OGRFieldSubType& sub) {
    sub = OFSTNone;
    switch (t) {
        case FieldType::SmallInteger: sub = OFSTInt16; return OFTInteger;
        case FieldType::Integer: return OFTInteger;
        case FieldType::Single: sub = OFSTFloat32; return OFTReal;
        case FieldType::Double: return OFTReal;
        case FieldType::String: return OFTString;
        case FieldType::Date: return OFTDateTime;
        default: throw GisError("A shape or object id field cannot be added as an attribute.");
    }
}

}  // namespace

std::unique_ptr<OGRFieldDefn> makeOgrField(const FieldDef& def) {
    OGRFieldSubType sub;
    const OGRFieldType t = ogrType(def.type, sub);
    auto fd = std::make_unique<OGRFieldDefn>(def.name.c_str(), t);
    fd->SetSubType(sub);
    if (def.length > 0) {
        fd->SetWidth(def.length);
        // A width alone would make a shapefile store real numbers without
        // decimals; keep as many as a double carries.
        if (t == OFTReal) fd->SetPrecision(def.decimals());
    }
    if (!def.alias.empty() && def.alias != def.name) fd->SetAlternativeName(def.alias.c_str());
    return fd;
}

void putOgrValue(OGRFeature& of, int i, const FieldValue& v) {
    if (std::holds_alternative<std::monostate>(v)) {
        of.SetFieldNull(i);
    } else if (auto* n = std::get_if<std::int64_t>(&v)) {
        of.SetField(i, static_cast<GIntBig>(*n));
    } else if (auto* d = std::get_if<double>(&v)) {
        of.SetField(i, *d);
    } else if (const auto& text = std::get<std::string>(v);
               text.empty() && of.GetFieldDefnRef(i)->GetType() != OFTString) {
        // GDAL reads an empty text as 0 into a number field: empty is no value.
        of.SetFieldNull(i);
    } else {
        of.SetField(i, text.c_str());
    }
}

namespace {

Path readCurve(const OGRSimpleCurve& c) {
    Path p;
    p.reserve(static_cast<std::size_t>(c.getNumPoints()));
    for (int i = 0; i < c.getNumPoints(); ++i) p.push_back({c.getX(i), c.getY(i)});
    return p;
}

std::vector<Path> readPolygon(const OGRPolygon& poly) {
    std::vector<Path> rings;
    if (poly.getExteriorRing()) rings.push_back(readCurve(*poly.getExteriorRing()));
    for (int i = 0; i < poly.getNumInteriorRings(); ++i) rings.push_back(readCurve(*poly.getInteriorRing(i)));
    return rings;
}

}  // namespace

Geometry fromOgr(const OGRGeometry* g) {
    if (!g || g->IsEmpty()) return {};
    switch (wkbFlatten(g->getGeometryType())) {
        case wkbPoint: {
            auto* p = g->toPoint();
            return Geometry::point(p->getX(), p->getY());
        }
        case wkbMultiPoint: {
            auto* mp = g->toMultiPoint();
            const OGRPoint* p = mp->getGeometryRef(0);
            return Geometry::point(p->getX(), p->getY());
        }
        case wkbLineString: return Geometry::polyline({readCurve(*g->toLineString())});
        case wkbMultiLineString: {
            std::vector<Path> parts;
            for (auto* ls : *g->toMultiLineString()) parts.push_back(readCurve(*ls));
            return Geometry::polyline(std::move(parts));
        }
        case wkbPolygon: return Geometry::polygons({readPolygon(*g->toPolygon())});
        case wkbMultiPolygon: {
            std::vector<std::vector<Path>> polys;
            for (auto* p : *g->toMultiPolygon()) polys.push_back(readPolygon(*p));
            return Geometry::polygons(std::move(polys));
        }
        default: {
            // Curves and collections: let OGR linearise them.
            std::unique_ptr<OGRGeometry> lin(g->getLinearGeometry());
            if (lin && wkbFlatten(lin->getGeometryType()) != wkbFlatten(g->getGeometryType())) return fromOgr(lin.get());
            return {};
        }
    }
}

namespace {
std::unique_ptr<OGRLinearRing> ring(const Path& p) {
    auto r = std::make_unique<OGRLinearRing>();
    r->setNumPoints(static_cast<int>(p.size()), FALSE);
    for (std::size_t i = 0; i < p.size(); ++i) r->setPoint(static_cast<int>(i), p[i].x, p[i].y);
    return r;
}
std::unique_ptr<OGRLineString> lineString(const Path& p) {
    auto l = std::make_unique<OGRLineString>();
    l->setNumPoints(static_cast<int>(p.size()), FALSE);
    for (std::size_t i = 0; i < p.size(); ++i) l->setPoint(static_cast<int>(i), p[i].x, p[i].y);
    return l;
}
}  // namespace

std::unique_ptr<OGRGeometry> toOgr(const Geometry& g) {
    switch (g.type()) {
        case GeometryType::None: return nullptr;
        case GeometryType::Point: {
            if (g.isEmpty()) return std::make_unique<OGRPoint>();
            const Point p = g.asPoint();
            return std::make_unique<OGRPoint>(p.x, p.y);
        }
        case GeometryType::Polyline: {
            if (g.partCount() == 1) return lineString(g.part(0));
            auto m = std::make_unique<OGRMultiLineString>();
            for (const auto& p : g.parts()) m->addGeometryDirectly(lineString(p).release());
            return m;
        }
        case GeometryType::Polygon: {
            std::vector<std::unique_ptr<OGRPolygon>> polys;
            std::size_t r = 0;
            for (std::size_t n : g.ringsPerPolygon()) {
                auto poly = std::make_unique<OGRPolygon>();
                for (std::size_t k = 0; k < n; ++k) poly->addRingDirectly(ring(g.part(r++)).release());
                polys.push_back(std::move(poly));
            }
            if (polys.size() == 1) return std::move(polys[0]);
            auto m = std::make_unique<OGRMultiPolygon>();
            for (auto& p : polys) m->addGeometryDirectly(p.release());
            return m;
        }
    }
    return nullptr;
}

}  // namespace quor::platform::gis::detail
