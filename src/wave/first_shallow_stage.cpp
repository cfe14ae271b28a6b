#include "wave/first_shallow_stage.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "platform/numbers.h"
#include "wave/checked_math.h"
#include "wave/hyperbolic.h"

namespace quor::wave {

using platform::roundHalfEven;
using namespace stage;

double FirstShallowStage::run(int16_t dirindex, const RaySegment& ray, double deep_wvlnt, double avg_depth,
                              float tideheight) {
    auto& st = ctx_.state;
    const std::string folder = debugOutputFolder(st.app_folder);
    const bool debugOn = debugOutputEnabled(st);
    DebugTextFile file(ctx_.debug, folder + "/Wave_HT_first/waveHt_1km" + std::to_string(dirindex) + ".txt", debugOn);
    file.line(kDepthFileTitle);
    file.line("");
    file.line(kHeightColumns);

    // A stage object serves direction after direction: each starts from an
    // empty profile. Only the part the last direction wrote is cleared (a
    // short ray writes a few dozen of the 11,001 places).
    clearDepthFirst();

    const double step = st.cell_step < st.Depth_intg_second ? st.Depth_intg_second : std::floor(st.cell_step);
    st.err_ptsecond = 0;
    st.err_second = 0;

    if (st.fetcharray(dirindex) > st.Fetch_first) {
        const int N = ptraster_second(ray, static_cast<float>(step), dirindex, tideheight);
        noteWritten(N);  // the march's restarted positions lie below N
        if (st.err_ptsecond == 1) {
            st.err_second = 1;
            return 0;
        }

        // The march starts at the water position farthest from the site.
        int j = 0;
        double h0 = avg_depth;
        for (; j <= N; ++j) {
            if (depth_first(N - j) > 0) {
                h0 = depth_first(N - j);
                break;
            }
        }
        if (h0 < 0.0001) h0 = 0.1;

        const double L0 = deep_wvlnt;
        const double k0 = cdiv(2 * kFormulaPi, L0);
        LocalWave w1 = localWave(h0, k0, st.Eps);
        LocalWave w2;

        const double U = st.windarray(dirindex);
        const double oneStep = grownHeight(step, U);
        double H = oneStep;
        st.wvht_first(dirindex) = H;
        int inc = 0, brk = 0;
        double Ks = 0;

        const int s_end = cint16(st.Fetch_first / step);
        for (int s = N - j - 1; s >= s_end; --s) {
            double h = depth_first(s);
            if (h <= 0) {
                // Land across the ray: the wave starts again beyond it.
                H = oneStep;
                depth_first(s) = 0.01;
                h = 0.01;
            }
            // The deep-water increment is always the second interrogation distance.
            H = marchHeight(H, U, h, k0, L0, step * inc, st.Depth_intg_second, st, w1, w2, Ks, brk);
            st.wvht_first(dirindex) = H;
            inc = 1;
            if (file.isOpen())
                file.line(" " + std::to_string(s) + "  " + r2(H) + "  " + r2(h) + "  " + std::to_string(brk) + "  " +
                          r2(Ks) + "  " + r2(w1.k) + "  " + r2(w2.k) + "  " + r2(w1.n) + "  " + r2(w2.n));
            w1 = w2;
            brk = 0;
        }

        if (debugOn) {
            DebugTextFile wind(ctx_.debug, folder + "/wind.txt", true);
            wind.line(kDepthFileTitle);
            wind.line("");
            for (int k = 0; k <= 60; ++k) wind.line(std::to_string(k) + "   " + platform::formatNumber(st.windarray(k)));
        }
    }
    file.close();

    const double k = runThirdStage(0, dirindex, ray, deep_wvlnt, roundHalfEven(st.wvht_first(dirindex), 5),
                                   tideheight);
    if (st.err_third == 1) {
        st.err_second = 1;
        return 0;
    }
    return k;
}

double FirstShallowStage::runThirdStage(int16_t, int16_t dirindex, const RaySegment& ray,
                                      double deep_wvlnt, double waveh_1km, float tideheight) {
    return second_.run(dirindex, ray, deep_wvlnt, waveh_1km, tideheight);
}

int16_t FirstShallowStage::ptraster_second(const RaySegment& ray, float int_dist, int16_t dirindex,
                                         float tideheight) {
    auto& st = ctx_.state;
    st.err_ptsecond = 0;
    try {
        const auto v = ctx_.bathy.densify(ray, int_dist);
        const int cnt = cint16(static_cast<double>(v.size()));
        const int m = static_cast<int>(std::fabs(std::floor(cdiv(-st.Depth_intg_second, st.cell_step))));
        const int a0 = cint16(st.Fetch_first / static_cast<double>(int_dist));
        noteWritten(cnt - 1);

        // Neighbouring windows share all but one vertex: classify each
        // vertex once and reuse the verdict. The windows read every vertex
        // from a0 to the one before the far end: those are read in one pass.
        std::vector<std::optional<ProfileDepth>> seen(v.size());
        const int first = std::max(a0, 0), last = cnt - 1;  // [first, last)
        std::vector<DepthSample> samples;
        if (m > 0 && first < last) {
            samples.resize(static_cast<std::size_t>(last - first));
            ctx_.bathy.identifyMany(v.data() + first, samples.size(), samples.data());
        }
        auto classify = [&](int idx) -> const ProfileDepth& {
            auto& slot = seen[static_cast<std::size_t>(idx)];
            if (!slot) {
                const bool read = idx >= first && idx - first < static_cast<int>(samples.size());
                slot = profileDepth(read ? samples[static_cast<std::size_t>(idx - first)] : ctx_.bathy.identify(v[idx]),
                                    ctx_.unitfactor, tideheight, st.bathy_positive, false);
            }
            return *slot;
        };

        for (int a = a0; a <= cnt - 1; ++a) {
            double sum = 0;
            int n = 0;
            for (int b = 1; b <= m; ++b) {
                const int idx = a + b - 1;
                if (idx >= cnt - 1) break;  // the far end itself is never sampled
                const ProfileDepth& p = classify(idx);
                if (p.kind == ProfileDepth::Kind::NoSample) continue;
                if (p.kind == ProfileDepth::Kind::Land) break;
                sum += p.depth;
                ++n;
            }
            if (n > 0) depth_first(a) = sum / n;
        }

        const bool debugOn = debugOutputEnabled(st);
        if (debugOn) {
            DebugTextFile file(ctx_.debug,
                               debugOutputFolder(st.app_folder) + "/Wave_depth_first/depth_first" +
                                   std::to_string(dirindex) + ".txt",
                               true);
            file.line(kDepthFileTitle);
            file.line("");
            for (int k = cnt - 2; k >= 0; --k) file.line(platform::outputArrayRow(k, depth_first(k)));
        }
        return cint16(cnt - 1);
    } catch (const std::exception& e) {
        ctx_.messages.message(e.what(), platform::MessageIcon::Critical);
        st.err_ptsecond = 1;
        return 0;
    }
}

void FirstShallowStage::noteWritten(int last) {
    if (last > written_) written_ = std::min(last, model::BoundedArray<double, 11000>::upper);
}

void FirstShallowStage::clearDepthFirst() {
    std::fill(depth_first.begin(), depth_first.begin() + (written_ + 1), 0.0);
    written_ = -1;
}

int16_t FirstShallowStage::ptraster_second_test(const RaySegment&, float, int16_t) {
    noteWritten(50);
    for (int k = 50; k >= 10; --k) depth_first(k) = 6 - (50 - k) / 10.0;
    return 40;
}

}  // namespace quor::wave
