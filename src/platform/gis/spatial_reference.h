#pragma once
// A coordinate reference system, or none. Copies share one immutable
// definition. Axis order is always the traditional GIS order: x is the
// easting or longitude, y the northing or latitude.
#include <memory>
#include <string>

class OGRSpatialReference;

namespace quor::platform::gis {

class SpatialReference {
public:
    SpatialReference() = default;  // none

    static SpatialReference fromEpsg(int code);           // GisError when unknown
    static SpatialReference fromWkt(const std::string& wkt);  // GisError when unreadable
    // From the GDAL object (cloned); none for a null pointer.
    static SpatialReference fromOgr(const OGRSpatialReference* srs);
    // None, for a dataset whose spatial reference is in `file` (a .prj)
    // that GDAL cannot read.
    static SpatialReference unreadable(const std::string& file);

    bool isNone() const { return !srs_; }
    explicit operator bool() const { return !isNone(); }
    bool isProjected() const;
    bool isGeographic() const;
    bool isLocal() const;  // an engineering (local) reference: a flat grid of its own
    // The file of a reference that could not be read; empty otherwise.
    const std::string& unreadableFile() const { return unreadableFile_; }
    std::string name() const;      // e.g. "WGS 84 / UTM zone 55S"; empty for none
    std::string wkt() const;       // WKT1 text; empty for none
    std::string proj4() const;     // PROJ string; empty for none
    int epsgCode() const;          // 0 when it has no EPSG code
    // Same coordinate system (ignoring names and axis mapping); two nones
    // are the same. Two local grids of one unit and axes are the same unless
    // both name their datum, differently.
    bool isSame(const SpatialReference& other) const;

    // The GDAL object, or null for none. Never modify it.
    const OGRSpatialReference* ogr() const { return srs_.get(); }

private:
    std::shared_ptr<const OGRSpatialReference> srs_;
    std::string unreadableFile_;
};

}  // namespace quor::platform::gis
