#include "wave/shallow_stages.h"

#include <cmath>
#include <cstring>
#include <exception>
#include <utility>

#include "platform/numbers.h"
#include "platform/textfile.h"
#include "wave/checked_math.h"
#include "wave/hyperbolic.h"

namespace quor::wave {

using platform::roundHalfEven;

namespace stage {

namespace {
// roundHalfEven(v, 2) without the text work when v is not near a tie: the
// march rounds the equivalent fetch at every position.
double round2(double v) {
    const double x = std::fabs(v) * 100;
    if (x < 1e12) {
        const double frac = x - std::floor(x);
        if (std::fabs(frac - 0.5) > 1e-6) {
            const double r = std::nearbyint(x) / 100;
            return std::signbit(v) && v != 0.0 ? -r : r;
        }
    }
    return roundHalfEven(v, 2);
}
}  // namespace

double grownHeight(double fetch, double U) {
    const double U2 = checked(U * U);
    const double x = checked(0.0125 * cpow(cdiv(kGravity * fetch, U2), 0.42));
    return cdiv(checked(0.283 * Tanh(x) * U2), kGravity);
}

double equivalentFetch(double H, double U) {
    const double U2 = checked(U * U);
    const double r = cdiv(H, U2);
    const double a = r < 0.01 ? Atanh(kGravity * r / 0.283) : Atanh(kGravity * 0.01 / 0.283);
    const double feq = cdiv(checked(cpow(a / 0.0125, 1 / 0.42) * U2), kGravity);
    return round2(feq);
}

LocalWave localWave(double h, double k0, double Eps) {
    LocalWave w;
    w.k = newton_k(h, k0, Eps);
    w.L = cdiv(2 * kFormulaPi, w.k);
    w.c = cdiv(h, w.L) < 0.05 ? csqrt(kGravity * h) : csqrt(cdiv(kGravity, w.k) * Tanh(checked(w.k * h)));
    const double kh2 = checked(2 * w.k * h);
    w.n = 0.5 * (1 + cdiv(kh2, Sinh(kh2)));
    return w;
}

namespace {

// 15 tan(slope)^1.333 + 1: the same at every position of every ray of a
// run, so it is worked out once per slope. A slope the formula cannot take
// fails where the factor is used, as it always did.
double breakingSlopeFactor(double goda_slope) {
    struct Memo {
        bool valid = false;
        double slope = 0;
        double factor = 0;
        std::exception_ptr failure;
    };
    thread_local Memo memo;
    // Compared by bits: a NaN slope is recomputed, never matched.
    if (!memo.valid || std::memcmp(&memo.slope, &goda_slope, sizeof goda_slope) != 0) {
        memo.valid = true;
        memo.slope = goda_slope;
        memo.failure = nullptr;
        try {
            const double slope = std::tan(goda_slope * kFormulaPi / 180);
            memo.factor = 15 * cpow(slope, 1.333) + 1;
        } catch (...) {
            memo.failure = std::current_exception();
        }
    }
    if (memo.failure) std::rethrow_exception(memo.failure);
    return memo.factor;
}

}  // namespace

double godaBreakingHeight(double h, double L0, double A_goda, double goda_slope) {
    const double x = checked(cdiv(-1.5 * kFormulaPi * h, L0) * breakingSlopeFactor(goda_slope));
    double Hb = checked(L0 * A_goda * (1 - cexp(x)));
    if (Hb > 0.7 * h) Hb = 0.7 * h;
    return Hb;
}

double marchHeight(double H, double U, double h, double k0, double L0, double shallowIncrement,
                   double deepIncrement, const model::ModelState& st, const LocalWave& w1, LocalWave& w2,
                   double& Ks, int& broke) {
    const double Feq = equivalentFetch(H, U);
    w2 = localWave(h, k0, st.Eps);
    if (cdiv(h, L0) < 0.5) {
        H = grownHeight(Feq + shallowIncrement, U);
        Ks = cpow(cdiv(w1.c * w1.n, w2.c * w2.n), 0.5);
        H = checked(H * Ks);
        const double Hb = godaBreakingHeight(h, L0, st.A_goda, st.goda_slope);
        if (H > Hb) {
            H = Hb;
            broke = 1;
        }
    } else {
        H = grownHeight(Feq + deepIncrement, U);
        if (2 * H / L0 > 0.3) H = 0.3 * L0 / 2;
    }
    return H;
}

double pixelMetres(double value, float unitfactor) {
    // No unit factor set counts as metres, as in the averaged depth.
    return unitfactor > 0 ? cdiv(value, static_cast<double>(unitfactor)) : value;
}

ProfileDepth profileDepth(const DepthSample& sample, float unitfactor, double th, int16_t bathyPositive,
                          bool levelIsLand) {
    if (!sample.usable()) return {};
    double z = pixelMetres(sample.value, unitfactor);
    if (std::fabs(z) - th == 0) z = 0.01;
    bool land = false;
    if (bathyPositive == 0) land = levelIsLand ? z + th >= 0 : z + th > 0;
    if (bathyPositive == 1) land = levelIsLand ? z - th <= 0 : z - th < 0;
    if (land) return {ProfileDepth::Kind::Land, 0};
    return {ProfileDepth::Kind::Water, std::fabs(z) - th};
}

std::string r2(double v) {
    double r = roundHalfEven(v, 2);
    if (r == 0) r = 0;
    return platform::formatNumber(r);
}

}  // namespace stage

void DebugTextFile::close() noexcept {
    if (!open_) return;
    open_ = false;
    reporter_.rewriteLines(path_, std::exchange(lines_, {}));
}

}  // namespace quor::wave
