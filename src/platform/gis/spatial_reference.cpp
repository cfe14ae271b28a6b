#include "platform/gis/spatial_reference.h"

#include <ogr_spatialref.h>

#include <cpl_conv.h>

#include <cmath>

#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"

namespace quor::platform::gis {

namespace {
std::shared_ptr<const OGRSpatialReference> wrap(OGRSpatialReference* srs) {
    srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return std::shared_ptr<const OGRSpatialReference>(srs, [](const OGRSpatialReference* p) {
        const_cast<OGRSpatialReference*>(p)->Release();
    });
}
}  // namespace

SpatialReference SpatialReference::fromEpsg(int code) {
    detail::ErrorCapture err;
    auto* srs = new OGRSpatialReference();
    if (srs->importFromEPSG(code) != OGRERR_NONE) {
        srs->Release();
        throw GisError(err.message("Unknown EPSG code " + std::to_string(code) + "."));
    }
    SpatialReference r;
    r.srs_ = wrap(srs);
    return r;
}

SpatialReference SpatialReference::fromWkt(const std::string& wkt) {
    detail::ErrorCapture err;
    auto* srs = new OGRSpatialReference();
    if (srs->importFromWkt(wkt.c_str()) != OGRERR_NONE) {
        srs->Release();
        throw GisError(err.message("The spatial reference cannot be read."));
    }
    SpatialReference r;
    r.srs_ = wrap(srs);
    return r;
}

SpatialReference SpatialReference::fromOgr(const OGRSpatialReference* srs) {
    SpatialReference r;
    if (srs) r.srs_ = wrap(srs->Clone());
    return r;
}

SpatialReference SpatialReference::unreadable(const std::string& file) {
    SpatialReference r;
    r.unreadableFile_ = file;
    return r;
}

bool SpatialReference::isProjected() const { return srs_ && srs_->IsProjected(); }
bool SpatialReference::isGeographic() const { return srs_ && srs_->IsGeographic(); }
bool SpatialReference::isLocal() const { return srs_ && srs_->IsLocal(); }

std::string SpatialReference::name() const {
    if (!srs_) return {};
    const char* n = srs_->GetName();
    return n ? n : "";
}

std::string SpatialReference::wkt() const {
    if (!srs_) return {};
    char* s = nullptr;
    srs_->exportToWkt(&s);
    std::string out = s ? s : "";
    CPLFree(s);
    return out;
}

std::string SpatialReference::proj4() const {
    if (!srs_) return {};
    detail::ErrorCapture err;
    char* s = nullptr;
    srs_->exportToProj4(&s);
    std::string out = s ? s : "";
    CPLFree(s);
    return out;
}

int SpatialReference::epsgCode() const {
    if (!srs_) return 0;
    const char* name = srs_->GetAuthorityName(nullptr);
    const char* code = srs_->GetAuthorityCode(nullptr);
    if (name && code && std::string(name) == "EPSG") return std::atoi(code);
    return 0;
}

namespace {
// Two local grids are one when their unit and axes agree and so does the
// name of their datum, where both name it: a GeoTIFF keeps no datum name
// for a local grid, so a survey's raster reads back without the name its
// shapefiles carry.
bool sameLocalGrid(const OGRSpatialReference& a, const OGRSpatialReference& b) {
    if (std::abs(a.GetLinearUnits() - b.GetLinearUnits()) > 1e-12 * a.GetLinearUnits()) return false;
    for (int axis = 0; axis < 2; ++axis) {
        OGRAxisOrientation oa = OAO_Other, ob = OAO_Other;
        a.GetAxis(nullptr, axis, &oa);
        b.GetAxis(nullptr, axis, &ob);
        if (oa != ob) return false;
    }
    const char* da = a.GetAttrValue("LOCAL_DATUM");
    const char* db = b.GetAttrValue("LOCAL_DATUM");
    return !da || !db || !*da || !*db || std::string(da) == db;
}
}  // namespace

bool SpatialReference::isSame(const SpatialReference& other) const {
    if (!srs_ || !other.srs_) return !srs_ && !other.srs_;
    if (srs_->IsLocal() && other.srs_->IsLocal()) return sameLocalGrid(*srs_, *other.srs_);
    const char* opts[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES", "CRITERION=EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS",
                          nullptr};
    return srs_->IsSame(other.srs_.get(), opts);
}

}  // namespace quor::platform::gis
