#pragma once
// Casting a site's fan of fetch rays into the work class "rays": 32 rays
// anticlockwise from east for the REI model, which then runs the rest of
// its ray pipeline; 16 to 56 rays clockwise from north for the RWE model,
// whose driver calls the following steps itself with the class returned.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gis/attached_pieces.h"
#include "gis/ray_site.h"
#include "platform/gis/raster.h"

namespace quor::gis {

class createrays_cls {
public:
    explicit createrays_cls(RayContext& ctx) : ctx_(ctx) {}
    // Casts, clips, keeps the attached pieces and profiles them, leaving
    // the site's values in ray_fetch, ray_bathy and ray_power. Failures are
    // reported to the user; nothing is thrown.
    void createrays(const pg::Point& spoint, const std::shared_ptr<pg::Workspace>& pworkspace,
                    const std::string& projname, int ptnum, const std::shared_ptr<pg::Raster>& prasterlayer);

private:
    RayContext& ctx_;
};

class wave_createrays_cls {
public:
    explicit wave_createrays_cls(RayContext& ctx) : ctx_(ctx) {}
    // Casts `norays` rays. Returns the ray class, which the driver hands to
    // the clipping step or the fast measurement; nothing and err_rays = 1
    // after a failure (the user has been told).
    std::shared_ptr<pg::FeatureClass> WaveCreaterays(const pg::Point& spoint,
                                                     const std::shared_ptr<pg::Workspace>& pworkspace,
                                                     const std::string& projname, int ptnum, int norays);
    // The same fan as plain lines, for a run that draws nothing: nothing
    // reads it as a class. Nothing and err_rays = 1 after a failure (the
    // user has been told as above).
    std::optional<std::vector<FanRay>> WaveCastPlain(const pg::Point& spoint,
                                                     const std::shared_ptr<pg::Workspace>& pworkspace, int norays);

private:
    RayContext& ctx_;
};

}  // namespace quor::gis
