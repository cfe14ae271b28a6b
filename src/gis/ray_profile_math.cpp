#include "gis/ray_profile_math.h"

#include "platform/numbers.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace quor::gis {

namespace {

// One term of the sum, evaluated in the order earlier results were
// produced with: t = |z / u| * length, q = t / (1 + r)^p, then damped.
double depthTerm(double z, float unitfactor, double length, double r, double p, double maxFetch) {
    const double t = std::fabs(z / static_cast<double>(unitfactor)) * length;
    const double q = t / std::pow(1.0 + r, p);
    return (1.0 - r / maxFetch) * q;
}

// A ray's power is kept in single precision but was entered as decimal
// text (0.053); the sums use the number as written.
double powerAsWritten(float p) { return platform::asWritten(p); }

}  // namespace

void rayprofile(model::ModelState& state, const std::vector<XY>& vertices, int dir, XY site, double pieceLength,
                const RasterSampler& sample, double maxFetch, float unitfactor) {
    state.ray_bathy(dir) = 0;
    const double p = powerAsWritten(state.ray_power(dir));
    std::vector<PixelSample> samples(vertices.size());
    sample(vertices.data(), vertices.size(), samples.data());
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const XY& v = vertices[i];
        const PixelSample& s = samples[i];
        if (s.kind != PixelSample::Kind::Value) continue;
        const double r = std::pow(std::pow(v.x - site.x, 2) + std::pow(v.y - site.y, 2), 0.5);
        state.ray_bathy(dir) = state.ray_bathy(dir) + depthTerm(s.value, unitfactor, pieceLength, r, p, maxFetch);
    }
}

void rayprofile2(model::ModelState& state, const std::vector<XY>& vertices, int dir, XY site,
                 const RasterSampler& sample, double maxFetch, float unitfactor) {
    state.ray_bathy(dir) = 0;
    const double p = powerAsWritten(state.ray_power(dir));

    // First pass: how far the water reaches. Values are kept for the
    // second pass so that every vertex is read once.
    std::vector<double> z;
    std::vector<double> r;
    z.reserve(vertices.size());
    r.reserve(vertices.size());
    double reach = 0;
    forEachSample(sample, vertices.data(), vertices.size(), [&](std::size_t i, const PixelSample& s) {
        if (s.kind != PixelSample::Kind::Value) return false;
        const XY& v = vertices[i];
        const double rj = std::pow(std::pow(v.x - site.x, 2) + std::pow(v.y - site.y, 2), 0.5);
        reach = rj;
        if (s.value == 0) return false;
        z.push_back(s.value);
        r.push_back(rj);
        return true;
    });

    // Second pass: the depth term up to (not including) the stopping vertex.
    for (size_t k = 0; k < z.size(); ++k)
        state.ray_bathy(dir) = state.ray_bathy(dir) + depthTerm(z[k], unitfactor, reach, r[k], p, maxFetch);
    state.ray_fetch(dir) = reach;
}

void windray_powers(model::ModelState& state, const model::WindSummary& winddata) {
    const auto& coll = winddata.windpowercoll;
    if (coll.size() < static_cast<size_t>(kReiRayCount))
        throw std::runtime_error("The wind climate holds " + std::to_string(coll.size()) +
                                 " of the 32 ray powers");
    for (int k = 0; k < kReiRayCount; ++k) state.ray_power(k) = static_cast<float>(coll[(32 - k) % 32]);
}

}  // namespace quor::gis
