#include "project/interrogation_distance.h"

#include <algorithm>

#include "platform/numbers.h"

namespace quor::project {

std::optional<int16_t> depthSignFlag(double minimum, double maximum) {
    if (minimum < 0 && maximum > 0) return 0;
    if (minimum < 0 && maximum <= 0) return 1;
    if (minimum >= 0 && maximum > 0) return 1;
    return std::nullopt;
}

std::optional<int16_t> recommendedInterrogationDistance(double cellX, double cellY) {
    try {
        const int16_t r = platform::toInt16(std::min(cellX, cellY) - 1);
        // Sampling closer than a metre apart only repeats the same cell.
        return std::max<int16_t>(r, 1);
    } catch (const platform::OverflowError&) {
        return std::nullopt;
    }
}

}  // namespace quor::project
