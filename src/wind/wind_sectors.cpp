#include "wind/wind_sectors.h"

#include <utility>

#include "platform/numbers.h"

namespace quor::wind {

void quickSortVariants(std::vector<double>& key, std::vector<double>& other, long inLow, long inHi) {
    // The smaller side recurses and the larger one loops, which bounds the
    // stack; both sides are disjoint, so the result is that of plain recursion.
    while (inLow < inHi) {
        long lo = inLow, hi = inHi;
        const double pivot = key[static_cast<size_t>((inLow + inHi) / 2)];
        while (lo <= hi) {
            while (key[lo] < pivot && lo < inHi) ++lo;
            while (pivot < key[hi] && hi > inLow) --hi;
            if (lo <= hi) {
                std::swap(key[lo], key[hi]);
                std::swap(other[lo], other[hi]);
                ++lo;
                --hi;
            }
        }
        const bool left = inLow < hi, right = lo < inHi;
        if (left && right) {
            if (hi - inLow < inHi - lo) {
                quickSortVariants(key, other, inLow, hi);
                inLow = lo;
            } else {
                quickSortVariants(key, other, lo, inHi);
                inHi = hi;
            }
        } else if (left) {
            inHi = hi;
        } else if (right) {
            inLow = lo;
        } else {
            break;
        }
    }
}

TopSelection selectTop(std::vector<double>& speed, std::vector<double>& direction, long last, int percent) {
    TopSelection top;
    quickSortVariants(speed, direction, 0, last);
    long k0 = 0;
    while (k0 <= last && !(speed[k0] > 0)) ++k0;
    long k1 = last;
    while (k1 >= 0 && !(speed[k1] < 70)) --k1;
    const long spread = k1 - k0;
    top.validCount = spread >= 0 ? static_cast<int32_t>(spread + 1) : 0;
    const long cut =
        static_cast<long>(platform::roundHalfEven((1.0 - percent / 100.0) * static_cast<double>(spread), 0)) + k0;
    // An index past the window reads as an empty entry, that is 0.
    auto at = [&](long i) { return i >= 0 && i <= last ? speed[i] : 0.0; };
    top.cutspeed = percent == 100 ? 0.0 : at(cut);
    if (k1 - cut <= 0) return top;
    top.enough = true;
    top.speed.assign(speed.begin() + cut, speed.begin() + k1 + 1);
    top.direction.assign(direction.begin() + cut, direction.begin() + k1 + 1);
    return top;
}

SectorSummary sectorSummary(std::vector<double> direction, std::vector<double> speed) {
    SectorSummary out;
    const long last = static_cast<long>(direction.size()) - 1;
    quickSortVariants(direction, speed, 0, last);
    const double w = 360.0 / kRweSectors;
    long q = 0;
    for (int s = 0; s < kRweSectors; ++s) {
        const double upper = s * w + w / 2;
        float sum = 0, count = 0;
        while (q <= last && direction[q] <= upper) {
            sum = static_cast<float>(static_cast<double>(sum) + speed[q]);
            count += 1;
            ++q;
        }
        out.speed[s] = count != 0 ? sum / count : 0.0f;
        out.count[s] = count != 0 ? count : 0.0f;
    }
    float sum0 = out.speed[0] * out.count[0];
    float count0 = out.count[0];
    for (; q <= last; ++q) {
        sum0 = static_cast<float>(static_cast<double>(sum0) + speed[q]);
        count0 += 1;
    }
    out.speed[0] = count0 != 0 ? sum0 / count0 : 0.0f;
    out.count[0] = count0;
    return out;
}

}  // namespace quor::wind
