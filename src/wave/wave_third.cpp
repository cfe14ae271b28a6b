#include "wave/wave_third.h"

#include <cmath>

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

double godaBreakingHeight(double h, double L0, double A_goda, double goda_slope) {
    const double slope = std::tan(goda_slope * kFormulaPi / 180);
    const double x = checked(cdiv(-1.5 * kFormulaPi * h, L0) * (15 * cpow(slope, 1.333) + 1));
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
    reporter_.attempt(path_, [&] {
        ensureParentFolder(path_);
        platform::TextWriter w(path_);
        for (const auto& l : lines_) w.writeLine(l);
        w.close();
    });
    lines_.clear();
}

using namespace stage;

double wave_third_cls::wave_third(int16_t /*norays*/, int16_t dirindex, const RaySegment& pfeature,
                                  double deep_wvlnt, double waveh_1km, float tideheight) {
    auto& st = ctx_.state;
    st.err_third = 0;
    try {
        DebugTextFile file(ctx_.debug,
                           debugOutputFolder(st.app_folder) + "/Wave_HT_second/waveHt_second" +
                               std::to_string(dirindex) + ".txt",
                           debugOutputEnabled(st));
        file.line(kDepthFileTitle);
        file.line("");
        file.line(kHeightColumns);

        const double step = st.cell_step;
        int inc = 0;
        double ksum = 0;
        st.depth_second.erase();

        const int N = ptraster_third(pfeature, static_cast<float>(st.cell_step), dirindex, tideheight);
        if (st.err_ptthird == 1) {
            st.err_third = 1;
            return 0;
        }

        // The march starts at the water position farthest from the site.
        int j = 0;
        double h0 = 0.01;
        for (; j <= N; ++j) {
            if (st.depth_second(N - j) > 0) {
                h0 = st.depth_second(N - j);
                break;
            }
        }

        const double L0 = deep_wvlnt;
        const double k0 = cdiv(2 * kFormulaPi, L0);
        LocalWave w1 = localWave(h0, k0, st.Eps);
        LocalWave w2;  // values of the last computed position; zero until one is computed

        const double U = st.windarray(dirindex);
        double H = (st.fetcharray(dirindex) < st.Fetch_first || waveh_1km == 0) ? grownHeight(step, U) : waveh_1km;
        st.wvht_second(dirindex) = H;

        double Ks = 0;
        int brk = 0;
        for (int i = N - j - 1; i >= 0; --i) {
            const double h = st.depth_second(i);
            if (std::fabs(h) <= 0.5) {  // rounds half to even to 0
                // Too shallow for a wave: it breaks completely here and regrows beyond.
                H = 0;
                st.wvht_second(dirindex) = H;
            } else {
                H = marchHeight(H, U, h, k0, L0, step * inc, step, st, w1, w2, Ks, brk);
                st.wvht_second(dirindex) = H;
                inc = 1;
            }
            if (file.isOpen()) {
                double H5 = roundHalfEven(H, 5);
                if (H5 == 0) H5 = 0;
                file.line(" " + std::to_string(i) + "  " + platform::formatNumber(H5) + "  " +
                          platform::formatNumber(h) + "  " + std::to_string(brk) + "  " + r2(Ks) + "  " + r2(w1.k) +
                          "  " + r2(w2.k) + "  " + r2(w1.n) + "  " + r2(w2.n));
            }
            ksum += w1.k;
            w1 = w2;
            brk = 0;
        }

        st.wvhtarray(dirindex) = roundHalfEven(st.wvht_second(dirindex), 5);
        const int positions = N - j;
        file.close();
        return positions > 0 ? ksum / positions : 0.0;
    } catch (const std::exception&) {
        st.err_third = 1;
        return 0;
    }
}

int16_t wave_third_cls::ptraster_third(const RaySegment& pfeature, float int_dist, int16_t dirindex,
                                       float tideheight) {
    auto& st = ctx_.state;
    st.err_ptthird = 0;
    try {
        const auto v = ctx_.bathy.densify(pfeature, int_dist);
        int cnt = cint16(static_cast<double>(v.size()));
        // Only the last Fetch_first metres before the site belong to this stage.
        if (static_cast<float>(st.Fetch_first) < static_cast<float>(cnt) * int_dist)
            cnt = cint16(st.Fetch_first / static_cast<double>(int_dist));

        for (int a = 0; a < cnt; ++a) {
            const ProfileDepth p =
                profileDepth(ctx_.bathy.identify(v[a]), ctx_.unitfactor, tideheight, st.bathy_positive, true);
            if (p.kind != ProfileDepth::Kind::NoSample) st.depth_second(a) = p.depth;
        }

        DebugTextFile file(ctx_.debug,
                           debugOutputFolder(st.app_folder) + "/Wave_depth_second/depth_second" +
                               std::to_string(dirindex) + ".txt",
                           debugOutputEnabled(st));
        if (file.isOpen()) {
            file.line(kDepthFileTitle);
            file.line("");
            for (int k = cnt - 1; k >= 0; --k) file.line(platform::outputArrayRow(k, st.depth_second(k)));
        }
        return cint16(cnt - 1);
    } catch (const std::exception& e) {
        ctx_.messages.message(std::string(e.what()) + "depth3", platform::MessageIcon::Critical);
        st.err_ptthird = 1;
        return 0;
    }
}

int16_t wave_third_cls::ptraster_third_test(const RaySegment&, float, int16_t) {
    for (int k = 10; k >= 0; --k) ctx_.state.depth_second(k) = 2 - (10 - k) * 2.0 / 10;
    return 10;
}

}  // namespace quor::wave
