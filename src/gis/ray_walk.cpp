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
    for (size_t i = 0; i < vertices.size(); ++i) {
        // The site was read above; reading it again would give the same answer.
        const PixelSample s = i == 0 ? site : sample(vertices[i].x, vertices[i].y);
        if (s.kind == PixelSample::Kind::Outside) continue;
        if (s.kind == PixelSample::Kind::NoData) break;
        if (!isWater(s.value, bathyPositive, tideheight, unitfactor)) break;
        wet += step;
    }
    return wet;
}

}  // namespace quor::gis
