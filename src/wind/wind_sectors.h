#pragma once
// From the speeds and directions of a window to the 56-sector summary:
// the sort, the top-percentage cut and the sector means. The sort is the
// Hoare partition with a middle pivot that the RWE wind files have always
// been made with; its order of equal speeds decides which records at the
// cut-off speed enter the top set, so the same files need the same sort.
#include <array>
#include <cstdint>
#include <vector>

namespace quor::wind {

inline constexpr int kRweSectors = 56;

// Sorts key[lo..hi] ascending and applies every exchange to other[] too.
void quickSortVariants(std::vector<double>& key, std::vector<double>& other, long lo, long hi);

struct TopSelection {
    bool enough = false;      // at least two records at or above the cut-off
    double cutspeed = 0;      // 0 for a top percentage of 100
    int32_t validCount = 0;   // records with 0 < speed < 70
    std::vector<double> speed, direction;  // the top set, by ascending speed
};

// speed and direction hold indexes 0..last (rejected records as 0); they
// are sorted in place by speed. The valid speeds are above 0 and below
// 70 m/s; the cut index is Round((1 - percent / 100) * (valid - 1)) from
// the first valid one, rounding half to even.
TopSelection selectTop(std::vector<double>& speed, std::vector<double>& direction, long last, int percent);

struct SectorSummary {
    std::array<float, kRweSectors> speed{};  // mean speed per sector, m/s
    std::array<float, kRweSectors> count{};  // records per sector
};

// Sorts the top set by direction and averages it per sector: sector s
// holds directions above (s - 0.5) * w up to (s + 0.5) * w, w = 360 / 56;
// everything above 55.5 * w (and so any direction of 360 or more) wraps
// into sector 0. Sums are kept in single precision after each addition.
SectorSummary sectorSummary(std::vector<double> direction, std::vector<double> speed);

}  // namespace quor::wind
