#include "gis/ray_walk.h"

#include <stdexcept>

#include "platform/numbers.h"

namespace quor::gis {

bool isWater(double value, bool bathyPositive, float tideheight, float unitfactor) {
    const double tide = tideheight;
    const double metres = unitfactor != 0 ? value / unitfactor : value;
    return bathyPositive ? metres - tide > 0 : metres + tide < 0;
}

double fastRayStep(double cellStep) {
    if (!(cellStep > 0))
        throw std::invalid_argument("The sampling step along the rays must be greater than 0 (cell step " +
                                    platform::formatNumber(cellStep) + ").");
    const double s = 2 * cellStep;
    return s > 100 ? 100 : s;
}

std::optional<double> walkRay(const std::vector<XY>& vertices, float step, const RasterSampler& sample,
                              bool bathyPositive, float tideheight, float unitfactor) {
    if (vertices.empty()) return 0.0;
    const PixelSample site = sample(vertices.front().x, vertices.front().y);
    if (site.kind == PixelSample::Kind::NoData) return std::nullopt;
    if (site.kind == PixelSample::Kind::Value && !isWater(site.value, bathyPositive, tideheight, unitfactor)) return std::nullopt;

    double wet = 0;
    // The site was read above; reading it again would give the same answer.
    auto visit = [&](const PixelSample& s) {
        if (s.kind == PixelSample::Kind::Outside) return true;
        if (s.kind == PixelSample::Kind::NoData) return false;
        if (!isWater(s.value, bathyPositive, tideheight, unitfactor)) return false;
        wet += step;
        return true;
    };
    if (visit(site))
        forEachSample(sample, vertices.data() + 1, vertices.size() - 1,
                      [&](std::size_t, const PixelSample& s) { return visit(s); });
    return wet;
}

}  // namespace quor::gis
