#include "model/effective_fetch.h"

#include <cmath>
#include <stdexcept>

#include "model/constants.h"
#include "platform/numbers.h"

namespace quor::model {

int effectiveFetchHalfWidth(int n) { return n / 8; }

std::vector<double> effectiveFetchWeights(int n) {
    const int m = effectiveFetchHalfWidth(n);
    std::vector<double> w(m + 1);
    for (int k = 0; k <= m; ++k) w[k] = std::cos(k * (360.0 / n) * kFormulaPi / 180.0);
    return w;
}

double effectiveFetchWeightSum(int n) {
    const auto w = effectiveFetchWeights(n);
    double sum = 0.0;
    for (int k = -static_cast<int>(w.size()) + 1; k < static_cast<int>(w.size()); ++k) sum += w[std::abs(k)];
    return sum;
}

std::vector<double> effectiveFetch(const std::vector<double>& direct) {
    const int n = static_cast<int>(direct.size());
    if (n < 8 || n > 64 || n % 8 != 0) throw std::invalid_argument("ray count must be a multiple of 8");
    const int m = effectiveFetchHalfWidth(n);
    const auto w = effectiveFetchWeights(n);
    const double W = effectiveFetchWeightSum(n);
    std::vector<double> out(n, 0.0);
    for (int d = 0; d < n; ++d) {
        double sum = 0.0;
        for (int k = -m; k <= m; ++k) sum += w[std::abs(k)] * direct[((d + k) % n + n) % n];
        double f = platform::roundHalfEven(sum / W, 0);
        if (f > direct[d]) f = direct[d];
        out[d] = f;
    }
    return out;
}

}  // namespace quor::model
