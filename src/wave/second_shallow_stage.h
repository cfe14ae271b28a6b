#pragma once
// The second shallow-water stage: the last Fetch_first metres of a ray at
// the bathymetry's own resolution, ending at the site with the direction's
// final wave height.
#include <cstdint>

#include "wave/shallow_stages.h"

namespace quor::wave {

class SecondShallowStage {
public:
    explicit SecondShallowStage(const StageContext& ctx) : ctx_(ctx) {}
    virtual ~SecondShallowStage() = default;

    // Finishes direction `dirindex` from Fetch_first to the site, starting
    // from the height the first stage handed over (0: none); writes
    // wvht_second(dirindex) and wvhtarray(dirindex) and returns the mean
    // wave number of the stretch. On failure raises err_third.
    double run(int16_t dirindex, const RaySegment& ray, double deep_wvlnt, double waveh_1km, float tideheight);

    // run() under the operation's name; norays is not read.
    double wave_third(int16_t norays, int16_t dirindex, const RaySegment& ray, double deep_wvlnt,
                      double waveh_1km, float tideheight) {
        return run(dirindex, ray, deep_wvlnt, waveh_1km, tideheight);
    }

    // Fills depth_second with one sample per int_dist over the first
    // Fetch_first metres; returns the last position index.
    virtual int16_t ptraster_third(const RaySegment& ray, float int_dist, int16_t dirindex, float tideheight);

    // A fixed profile for trying the march: depth_second(k) = 2 - (10 - k) * 2 / 10.
    int16_t ptraster_third_test(const RaySegment& ray, float int_dist, int16_t dirindex);

protected:
    StageContext ctx_;
};

// The name the run drivers and earlier code use.
using wave_third_cls = SecondShallowStage;

}  // namespace quor::wave
