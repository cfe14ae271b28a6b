#pragma once
// The RWE fast measurement of one site: every ray of the fan is walked
// outward over the bathymetry until the water ends, the wet lengths are
// capped at the maximum fetch and turned into the cosine-weighted
// effective fetch per direction, which is drawn into "EffF_rays".
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "gis/attached_pieces.h"
#include "gis/ray_site.h"
#include "model/bounded_array.h"
#include "platform/gis/feature.h"

namespace quor::gis {

class wave_raydist_cls {
public:
    explicit wave_raydist_cls(RayContext& ctx) : ctx_(ctx) {}
    ~wave_raydist_cls() { lengtharray_.erase(); }
    wave_raydist_cls(const wave_raydist_cls&) = delete;
    wave_raydist_cls& operator=(const wave_raydist_cls&) = delete;

    // Measures the fan `rays` (cast by the RWE caster for this site) and
    // returns the new "EffF_rays" class. Returns nothing with err_nowater = 1
    // when the site is dry, or with err_fetch = 1 when the measurement failed.
    std::shared_ptr<pg::FeatureClass> wave_raydist(int norays, const pg::Point& spoint, float tideheight,
                                                   const std::shared_ptr<pg::FeatureClass>& rays);
    // The same measurement of a fan kept as plain lines (a run that draws
    // nothing): the effective fetches stay in fetcharray, nothing is drawn.
    // False, with the same flags, where the above returns nothing.
    bool wave_raydist(int norays, const pg::Point& spoint, float tideheight, const std::vector<FanRay>& rays);

    // Walks one ray into lengtharray(dirindex + 7); raises err_nowater for a
    // dry site and err_fetch when the walk fails.
    void ptraster_wave(const pg::Feature& pfeature, float int_dist, int dirindex, const pg::Point& spoint,
                       float tideheight);

    // Wet lengths by direction + 7, with the wrap-around copies.
    const model::BoundedArray<double, 2000>& lengtharray() const { return lengtharray_; }

private:
    // Walks one ray's first segment, as ptraster_wave.
    void walkSegment(const pg::Path& segment, float int_dist, int dirindex, const pg::Point& spoint, float tideheight);
    // Walks every ray and fills fetcharray; false when a walk ended the site.
    bool measure(int norays, bool haveRays,
                 const std::function<std::int64_t()>& countRays,
                 const std::function<void(std::int64_t j, float step)>& walkRayAt);
    void writeFetchDiagnostic(int n);

    RayContext& ctx_;
    model::BoundedArray<double, 2000> lengtharray_;
    pg::Path vertices_;  // one buffer for every ray of the site
};

}  // namespace quor::gis
