#include "gis/raster_sampling.h"

#include <cmath>
#include <exception>

#include "platform/gis/gis_error.h"
#include "platform/log.h"

namespace quor::gis {

wave_ptraster_cls::wave_ptraster_cls(model::ModelState& state, const model::MainFormState& mainform)
    : st_(state), mf_(mainform) {}

std::optional<double> wave_ptraster_cls::sampleDepth(const pg::Point& p, float tideheight) const {
    if (!st_.bathy_raster) throw pg::GisError("There is no bathymetry raster to read the depths from.");
    return depthOf(st_.bathy_raster->identify(p), tideheight);
}

std::optional<double> wave_ptraster_cls::depthOf(const pg::PixelValue& v, float tideheight) const {
    if (!v.hasValue()) return std::nullopt;
    const double u = mf_.unitfactor > 0 ? static_cast<double>(mf_.unitfactor) : 1.0;
    return std::abs(v.value / u) - static_cast<double>(tideheight);
}

std::vector<pg::PixelValue> wave_ptraster_cls::samplesOf(const pg::Path& vertices) const {
    if (vertices.empty()) return {};
    if (!st_.bathy_raster) throw pg::GisError("There is no bathymetry raster to read the depths from.");
    if (!reader_) return st_.bathy_raster->identifyMany(vertices);
    std::vector<pg::PixelValue> out(vertices.size());
    reader_(vertices.data(), vertices.size(), out.data());
    return out;
}

void wave_ptraster_cls::ptraster_avg(const pg::Feature& pfeature, int16_t dirindex, float tideheight) {
    ptraster_avg(pfeature.shape(), dirindex, tideheight);
}

void wave_ptraster_cls::ptraster_avg(const pg::Geometry& shape, int16_t dirindex, float tideheight) {
    st_.err_ptraster = 0;
    try {
        const pg::Path vertices = pg::densify(shape.firstSegment(), 100.0);
        double sum = 0;
        long count = 0;
        for (const auto& v : samplesOf(vertices)) {
            if (auto d = depthOf(v, tideheight)) {
                sum += *d;
                ++count;
            }
        }
        // No usable sample is a failure, not a NaN depth.
        if (count == 0) {
            st_.err_ptraster = 1;
            return;
        }
        st_.deptharray(dirindex) = sum / static_cast<double>(count);
    } catch (const std::exception& e) {
        platform::logCause("Averaging the depth along a ray", e.what());
        st_.err_ptraster = 1;
    }
}

std::optional<std::array<double, 5>> wave_ptraster_cls::ptraster(const pg::Feature& pfeature, int16_t dirindex,
                                                                 float tideheight, platform::Messages& messages) {
    try {
        const double step = st_.Depth_intg_first;
        if (!(step > 0)) throw pg::GisError("The depth interrogation distance must be greater than 0.");
        const double K = st_.Fetch_first / step;
        const pg::Path vertices = pg::densify(pfeature.shape().firstSegment(), step);
        const auto N = static_cast<long>(vertices.size());
        const std::vector<pg::PixelValue> samples = samplesOf(vertices);
        double sum = 0, count = 0, mn = 9999999, mx = 0, dmin = 0, dmax = 0;
        for (double i = K; i <= static_cast<double>(N - 1); i += 1) {
            const long idx = static_cast<long>(std::nearbyint(i));
            if (idx < 0 || idx >= N) continue;
            if (auto h = depthOf(samples[static_cast<std::size_t>(idx)], tideheight)) {
                if (*h < mn) mn = *h, dmin = (i - K) * step;
                if (*h > mx) mx = *h, dmax = (i - K) * step;
                sum += *h;
                count += 1;
            }
        }
        const double mean = count > 0 ? sum / count : 0;
        double all = 0, n = 0;
        for (const auto& v : samples)
            if (auto h = depthOf(v, tideheight)) all += *h, n += 1;
        if (n == 0) throw pg::GisError("No point of the ray has a depth on the bathymetry.");
        st_.deptharray(dirindex) = all / n;
        return std::array<double, 5>{mean, mn, mx, dmin, dmax};
    } catch (const std::exception& e) {
        st_.err_ptraster = 1;
        messages.message(std::string(e.what()) + "  ", platform::MessageIcon::Critical);
        return std::nullopt;
    }
}

std::array<double, 5> wave_ptraster_cls::ptraster_test() { return {6, 0.01, 10, 5000, 6000}; }

}  // namespace quor::gis
