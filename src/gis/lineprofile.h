#pragma once
// The REI ray profile of one site: for every kept ray (or, in the fast
// algorithm, every whole ray) its fetch and its distance-weighted depth
// term, into the model's ray arrays.
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "gis/attached_pieces.h"
#include "gis/ray_sampling.h"
#include "gis/ray_site.h"
#include "platform/gis/raster.h"

namespace quor::gis {

// Reads a raster as the ray measurements need it.
RasterSampler samplerOf(const pg::Raster& raster);

class lineprofile_cls {
public:
    explicit lineprofile_cls(RayContext& ctx) : ctx_(ctx) {}

    // Fills ray_power, and ray_fetch / ray_bathy of every direction that has
    // a feature in `pfeatureclass`; moves the progress bar. Failures are
    // reported to the user here and end the profile; nothing is thrown.
    void lineprofile(const std::shared_ptr<pg::FeatureClass>& pfeatureclass, const pg::Point& spoint,
                     const std::shared_ptr<pg::Raster>& prasterlayer);
    // The same over rays kept as plain lines (a run that draws nothing),
    // in the order given.
    void lineprofile(const std::vector<FanRay>& rays, const pg::Point& spoint,
                     const std::shared_ptr<pg::Raster>& prasterlayer);

private:
    // `noRays`: the failure to tell when there is no ray class.
    void profile(const char* noRays, const std::function<std::int64_t()>& countRays,
                 const std::function<std::pair<int, pg::Path>(std::int64_t)>& rayAt, const pg::Point& spoint,
                 const std::shared_ptr<pg::Raster>& prasterlayer);

    RayContext& ctx_;
};

}  // namespace quor::gis
