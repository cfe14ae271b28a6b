#include "project/interrogation_distance.h"

#include <algorithm>
#include <cmath>

#include "model/setting_checks.h"
#include "platform/numbers.h"

namespace quor::project {

std::optional<int16_t> depthSignFlag(double minimum, double maximum) {
    if (minimum < 0 && maximum > 0) return 0;
    if (minimum < 0 && maximum <= 0) return 1;
    if (minimum >= 0 && maximum > 0) return 1;
    return std::nullopt;
}

std::optional<InterrogationProposal> proposeInterrogationDistance(double cellX, double cellY) {
    const double cell = std::min(cellX, cellY);
    if (!std::isfinite(cell)) return std::nullopt;
    InterrogationProposal p;
    p.fromCells = platform::roundHalfEven(cell - 1);
    p.distance = static_cast<int16_t>(std::clamp(p.fromCells, model::kMinBathyDistance, model::kMaxBathyDistance));
    return p;
}

std::string InterrogationProposal::question() const {
    std::string text =
        "Recomended bathymetry interrogation distance based on bathymetry grid is " + std::to_string(distance) + " mts";
    if (fromCells != distance)
        text += " (the nearest to " + platform::formatNumber(fromCells) + " mts, one below the cell size, within the " +
                platform::formatNumber(model::kMinBathyDistance) + " to " +
                platform::formatNumber(model::kMaxBathyDistance) + " mts the REI run accepts)";
    return text + ". Do you want to use it?";
}

}  // namespace quor::project
