#pragma once
// Bathymetry sampling along a ray for the RWE wave model: mean depth of a
// direction, and depth statistics beyond the first fetch segment.
//
// Depth of one sample: |z / unitfactor| - tideheight, where z is the pixel
// value. The unit factor turns centimetre and foot rasters into metres (a
// factor of 0, i.e. none set, counts as 1). Vertices outside the raster and
// "NoData" vertices give no sample.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "model/model_state.h"
#include "platform/feedback.h"
#include "platform/gis/feature.h"
#include "platform/gis/geometry.h"
#include "platform/gis/raster.h"

namespace quor::gis {

namespace pg = platform::gis;

class wave_ptraster_cls {
public:
    // Reads bathy_raster, Fetch_first and Depth_intg_first of the model
    // state and the unit factor of the project; writes deptharray and
    // err_ptraster.
    wave_ptraster_cls(model::ModelState& state, const model::MainFormState& mainform);

    // Mean depth over the vertices of the shape's first segment densified
    // at 100 map units, into deptharray(dirindex). Sets err_ptraster to 0,
    // or to 1 when no vertex gave a sample, dirindex is outside 0..60 or
    // the raster fails; deptharray(dirindex) then keeps its value. No message.
    void ptraster_avg(const pg::Feature& pfeature, int16_t dirindex, float tideheight);
    void ptraster_avg(const pg::Geometry& shape, int16_t dirindex, float tideheight);

    // Beyond the vertex Fetch_first / Depth_intg_first of the first segment
    // densified at Depth_intg_first: mean, minimum, maximum and the
    // distances of the minimum and maximum from that vertex; deptharray(dirindex)
    // receives the mean over the whole segment. On failure err_ptraster = 1,
    // the description followed by two spaces (critical icon), and nothing.
    std::optional<std::array<double, 5>> ptraster(const pg::Feature& pfeature, int16_t dirindex, float tideheight,
                                                  platform::Messages& messages);

    // The fixed result 6, 0.01, 10, 5000, 6000.
    static std::array<double, 5> ptraster_test();

    // One sample: its depth, or nothing (outside the raster, "NoData").
    std::optional<double> sampleDepth(const pg::Point& p, float tideheight) const;

    // Where the averaging reads its vertices in bulk, when not straight from
    // bathy_raster: a reader that gives identify's values (the wave stages'
    // sampler, which keeps its last read).
    using BulkReader = std::function<void(const pg::Point* points, std::size_t count, pg::PixelValue* out)>;
    void readThrough(BulkReader reader) { reader_ = std::move(reader); }

private:
    // The depth of one pixel value, and the values under a ray's vertices
    // read in one pass.
    std::optional<double> depthOf(const pg::PixelValue& v, float tideheight) const;
    std::vector<pg::PixelValue> samplesOf(const pg::Path& vertices) const;

    model::ModelState& st_;
    const model::MainFormState& mf_;
    BulkReader reader_;
};

}  // namespace quor::gis
