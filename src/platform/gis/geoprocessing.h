#pragma once
// The two geoprocessing tools the ray pipeline needs, on GEOS and our own
// edge index:
//  - "Clip_analysis": the parts of the input lines inside the clip
//    polygons (their boundary counts as inside), attributes kept;
//  - "MultipartToSinglepart": one feature per part, attributes kept.
// The clip polygons of a run can be prepared once (ClipPolygons) and used
// for every site, by every thread of the run at once.
#include <memory>
#include <string>
#include <vector>

#include "platform/gis/feature_class.h"
#include "platform/gis/geometry.h"

namespace quor::platform::gis {

class Workspace;

// Read only once built: any number of threads may clip with one at once.
class ClipPolygons {
public:
    // From every polygon feature of a class; GisError when the class is
    // not a polygon class or has no polygon.
    static ClipPolygons fromFeatureClass(const FeatureClass& fc);
    // From polygon geometries (other types are ignored).
    static ClipPolygons fromGeometries(const std::vector<Geometry>& polygons);

    ClipPolygons(ClipPolygons&&) noexcept;
    ClipPolygons& operator=(ClipPolygons&&) noexcept;
    ~ClipPolygons();

    // The parts of a path that lie inside the polygons, in order along it.
    std::vector<Path> clip(const Path& line) const;
    // The clipped polyline (empty geometry when nothing lies inside).
    Geometry clip(const Geometry& polyline) const;
    // Whether a point lies inside or on the boundary.
    bool covers(const Point& p) const;
    Envelope envelope() const;
    std::size_t edgeCount() const;

private:
    ClipPolygons();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// "Clip_analysis": writes into outWs the class outName (replacing one of
// that name) with the input's attribute fields and, per input feature with
// something inside, one (possibly multipart) feature. Returns the new class.
std::shared_ptr<FeatureClass> clipAnalysis(const FeatureClass& input, const ClipPolygons& clip, Workspace& outWs,
                                           const std::string& outName);

// "MultipartToSinglepart": writes outName (replacing one of that name)
// with one feature per part of every input feature, attributes kept,
// in input order.
std::shared_ptr<FeatureClass> multipartToSinglepart(const FeatureClass& input, Workspace& outWs,
                                                    const std::string& outName);

}  // namespace quor::platform::gis
