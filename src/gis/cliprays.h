#pragma once
// Cutting a site's ray fan at the shoreline: "Clip_analysis" keeps the
// parts of every ray inside the water polygons in "Inter_ray",
// "MultipartToSinglepart" gives each part its own feature in
// "Inter_rays". The parts are made exact and repeatable on the way: the
// parts of one ray that touch are merged, each piece runs outward from
// the site as a two-point line, and the pieces follow their source ray,
// nearest piece first.
#include <memory>
#include <string>

#include "gis/ray_site.h"

namespace quor::gis {

// The shared pipeline: writes "Inter_ray" and "Inter_rays" next to the ray
// class (replacing earlier ones) and returns "Inter_rays". Throws on any
// failure; the callers decide how to report it.
std::shared_ptr<pg::FeatureClass> clipRaysAtShoreline(RayContext& ctx, const std::shared_ptr<pg::FeatureClass>& rays);

// REI variant: the class "Inter_rays", or nothing after a failure (the
// user has been told).
class cliprays_cls {
public:
    explicit cliprays_cls(RayContext& ctx) : ctx_(ctx) {}
    std::shared_ptr<pg::FeatureClass> cliprays(const std::string& projname,
                                               const std::shared_ptr<pg::FeatureClass>& rays);

private:
    RayContext& ctx_;
};

// RWE variant: the class "Inter_rays", shown on the map in place of the
// fan; nothing and err_clip = 1 after a failure.
class wave_cliprays_cls {
public:
    explicit wave_cliprays_cls(RayContext& ctx) : ctx_(ctx) {}
    std::shared_ptr<pg::FeatureClass> cliprays(const std::string& projname,
                                               const std::shared_ptr<pg::FeatureClass>& rays);

private:
    RayContext& ctx_;
};

}  // namespace quor::gis
