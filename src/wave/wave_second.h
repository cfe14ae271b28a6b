#pragma once
// The first shallow-water stage: carries a direction's wave from the far
// end of its effective fetch towards the site over a coarse, windowed depth
// profile, as far as Fetch_first from the site, then hands over to the
// second stage, which finishes the ray at full resolution.
#include <cstdint>

#include "model/bounded_array.h"
#include "wave/wave_third.h"

namespace quor::wave {

class wave_second_cls {
public:
    explicit wave_second_cls(const StageContext& ctx) : ctx_(ctx) {}
    virtual ~wave_second_cls() = default;

    // Runs both shallow-water stages for direction `dirindex` on its ray;
    // deep_wvlnt is the deep-water wavelength L0, avg_depth the starting
    // depth when the profile holds no water. Returns the second stage's mean
    // wave number. Raises err_second when a depth profile cannot be read or
    // the second stage fails; arithmetic failures of the march itself reach
    // the caller as exceptions.
    double wave_second(int16_t norays, int16_t dirindex, const RaySegment& pfeature, double deep_wvlnt,
                       double avg_depth, float tideheight);

    // Fills depth_first beyond Fetch_first with the mean water depth over a
    // window of vertices int_dist apart; returns the last vertex index.
    virtual int16_t ptraster_second(const RaySegment& pfeature, float int_dist, int16_t dirindex, float tideheight);

    // A fixed profile for trying the march: depth_first(k) = 6 - (50 - k) / 10 for k = 50..10.
    int16_t ptraster_second_test(const RaySegment& pfeature, float int_dist, int16_t dirindex);

    const model::BoundedArray<double, 11000>& depthFirst() const { return depth_first; }

protected:
    // The hand-over to the second stage (a fresh stage object per direction).
    virtual double runThirdStage(int16_t norays, int16_t dirindex, const RaySegment& pfeature, double deep_wvlnt,
                                 double waveh_1km, float tideheight);

    StageContext ctx_;
    model::BoundedArray<double, 11000> depth_first;
};

}  // namespace quor::wave
