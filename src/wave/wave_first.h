#pragma once
// Wave growth of one site: for every ray of the site's fan a deep-water
// wave grown from the direction's wind and effective fetch, its period,
// the two shallow-water stages along the ray, and the direction's wave
// energy; then the site's largest and mean heights and periods.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "model/model_state.h"
#include "platform/gis/feature.h"
#include "platform/feedback.h"
#include "wave/first_shallow_stage.h"

namespace quor::wave {

// One ray of the site's fan: its "Dir" value and its first segment, which
// starts at the site and runs outwards for the direction's effective fetch.
struct RayItem {
    int dir = 0;
    RaySegment segment;
    std::shared_ptr<const platform::gis::Feature> feature;  // the stored ray, when it came from a class
};

// The ray feature as the stages see it: "Dir" and the shape's first segment.
RayItem rayOf(const platform::gis::Feature& feature);

// The effective-fetch rays d = 0..n-1 of a site as the stages see them,
// without a class: the lines "EffF_rays" would hold.
std::vector<RayItem> effectiveFetchRayItems(const platform::gis::Point& site,
                                            const model::BoundedArray<double, 60>& fetcharray, int n);

// Leaves the mean depth along the ray in deptharray(dirindex), or raises
// err_ptraster when the ray gives no usable depth.
using AverageDepthFn = std::function<void(const RayItem& ray, int16_t dirindex, float tideheight)>;

// ptraster_avg of the GIS layer on the run's bathymetry (bathy_raster), with
// the project's unit factor. Given the stages' sampler, the averaging reads
// through it, so that the first stage finds the vertices it shares with the
// averaging already read.
AverageDepthFn rasterAverageDepth(model::ModelState& state, const model::MainFormState& mainform,
                                  const DepthSampler* stagesSampler = nullptr);

struct WaveSiteContext {
    StageContext stage;
    const model::SettingsHolder& settings;  // refreshmap: background run, no yielding
    platform::Progress& progress;           // bar 1 runs from 50 to 100 over the directions
    AverageDepthFn averageDepth;
};

class wave_first_cls {
public:
    explicit wave_first_cls(const WaveSiteContext& ctx) : ctx_(ctx) {}
    virtual ~wave_first_cls() = default;

    // Runs every ray in the order given (object-id order) and writes the
    // per-direction periods and energies and the site's summary values.
    // Returns the largest height. On failure raises err_waveht and returns
    // at once; directions already done keep their values.
    double waveht(int16_t norays, const std::vector<RayItem>& rays, float tideheight);
    // The same over the site's ray class ("EffF_rays"), feature by object id 1 .. count.
    double waveht(int16_t norays, const platform::gis::FeatureClass& pfeatureclass, float tideheight);

protected:
    // The loop itself; rayAt(i) gives ray i (1-based, object-id order).
    double wavehtCore(int16_t norays, int count, const std::function<RayItem(int)>& rayAt, float tideheight);

    // The shallow-water stages of one direction.
    virtual double runShallowStages(int16_t norays, int16_t dirindex, const RayItem& ray, double deep_wvlnt,
                                    float tideheight);

    WaveSiteContext ctx_;

private:
    std::unique_ptr<FirstShallowStage> firstStage_;  // made on first use, reused by every direction
};

}  // namespace quor::wave
