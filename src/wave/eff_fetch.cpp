#include "wave/eff_fetch.h"

#include <cmath>
#include <stdexcept>

#include "model/effective_fetch.h"
#include "platform/numbers.h"
#include "wave/checked_math.h"

namespace quor::wave {

namespace {
constexpr double kDrawingPi = 3.14159;

int checkedIndex(std::int64_t dir) {
    if (dir < -wave_effFetch_cls::kOffset || dir > wave_effFetch_cls::LengthTable::upper - wave_effFetch_cls::kOffset)
        throw model::SubscriptError();
    return static_cast<int>(dir) + wave_effFetch_cls::kOffset;
}
}  // namespace

void wave_effFetch_cls::directLengths(const std::vector<KeptPiece>& pieces, int n) {
    L_.erase();
    for (const auto& p : pieces) L_(checkedIndex(p.dir)) = platform::roundHalfEven(checked(p.length), 0);
    const int m = model::effectiveFetchHalfWidth(n);
    for (int i = 0; i < m; ++i) {
        L_(6 - i) = L_(n + 6 - i);
        L_(n + 7 + i) = L_(7 + i);
    }
}

void wave_effFetch_cls::weightFetches(int n) {
    s_.fetcharray.erase();
    std::vector<double> direct(static_cast<size_t>(n));
    for (int d = 0; d < n; ++d) direct[static_cast<size_t>(d)] = L_(d + kOffset);
    // The shared window wraps around the circle the same way the table's
    // repeated ends do.
    const auto eff = model::effectiveFetch(direct);
    for (int d = 0; d < n; ++d) s_.fetcharray(d) = eff[static_cast<size_t>(d)];
}

FetchPoint wave_effFetch_cls::endPoint(const FetchPoint& site, double fetch, int d, int n) {
    const double a = d * (360.0 / n) * kDrawingPi / 180;
    return {site.x + fetch * std::sin(a), site.y + fetch * std::cos(a)};
}

}  // namespace quor::wave
