#pragma once
// The bathymetry sign flag and the proposed interrogation distance, from
// a raster's statistics and cell size.
#include <cstdint>
#include <optional>
#include <string>

namespace quor::project {

// 0 when the raster holds values of both signs, 1 when of one sign only,
// nothing when minimum and maximum are both 0 (the flag stays as it was).
std::optional<int16_t> depthSignFlag(double minimum, double maximum);

// The distance proposed after New and Open in REI mode: one below the
// smaller cell side, rounded half to even, moved to the nearest distance
// the REI settings, the REI run and start-up accept (10 to 200 m), so that
// taking it never makes the next run refuse it.
struct InterrogationProposal {
    int16_t distance = 0;  // the proposal, within the accepted range
    double fromCells = 0;  // one below the cell side, before it was moved
    // The question that offers it; it says so when the cells alone would
    // have given another distance.
    std::string question() const;
};

// Nothing when a cell side is no finite number.
std::optional<InterrogationProposal> proposeInterrogationDistance(double cellX, double cellY);

}  // namespace quor::project
