#pragma once
// The first shallow-water stage: carries a direction's wave from the far
// end of its effective fetch towards the site over a coarse, windowed depth
// profile, as far as Fetch_first from the site, then hands over to the
// second stage, which finishes the ray at full resolution.
#include <cstdint>

#include "model/bounded_array.h"
#include "wave/second_shallow_stage.h"
#include "wave/shallow_stages.h"

namespace quor::wave {

class FirstShallowStage {
public:
    explicit FirstShallowStage(const StageContext& ctx) : ctx_(ctx), second_(ctx) {}
    virtual ~FirstShallowStage() = default;

    // Runs both shallow-water stages for direction `dirindex` on its ray;
    // deep_wvlnt is the deep-water wavelength L0, avg_depth the starting
    // depth when the profile holds no water. Returns the second stage's mean
    // wave number. Raises err_second when a depth profile cannot be read or
    // the second stage fails; arithmetic failures of the march itself reach
    // the caller as exceptions.
    double run(int16_t dirindex, const RaySegment& ray, double deep_wvlnt, double avg_depth, float tideheight);

    // run() under the operation's name; norays is not read.
    double wave_second(int16_t /*norays*/, int16_t dirindex, const RaySegment& ray, double deep_wvlnt,
                       double avg_depth, float tideheight) {
        return run(dirindex, ray, deep_wvlnt, avg_depth, tideheight);
    }

    // Fills depth_first beyond Fetch_first with the mean water depth over a
    // window of vertices int_dist apart; returns the last vertex index.
    virtual int16_t ptraster_second(const RaySegment& ray, float int_dist, int16_t dirindex, float tideheight);

    // A fixed profile for trying the march: depth_first(k) = 6 - (50 - k) / 10 for k = 50..10.
    int16_t ptraster_second_test(const RaySegment& ray, float int_dist, int16_t dirindex);

    const model::BoundedArray<double, 11000>& depthFirst() const { return depth_first; }

protected:
    // The hand-over to the second stage (wave_third). The ray count is
    // part of the operation's signature only: it is passed as 0.
    virtual double runThirdStage(int16_t norays, int16_t dirindex, const RaySegment& ray, double deep_wvlnt,
                                 double waveh_1km, float tideheight);

    // A profile reader records how far it writes into depth_first (the
    // march itself stays below the last index the reader returns).
    void noteWritten(int last);

    StageContext ctx_;
    model::BoundedArray<double, 11000> depth_first;

private:
    void clearDepthFirst();

    int written_ = -1;           // highest index of depth_first written since the last clear
    SecondShallowStage second_;  // the hand-over's stage, reused by every direction
};

// The name the run drivers and earlier code use.
using wave_second_cls = FirstShallowStage;

}  // namespace quor::wave
