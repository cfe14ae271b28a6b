#include "wave/second_shallow_stage.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/array_file.h"
#include "platform/numbers.h"
#include "wave/checked_math.h"
#include "platform/log.h"

namespace quor::wave {

using platform::roundHalfEven;
using namespace stage;

double SecondShallowStage::run(int16_t dirindex, const RaySegment& ray, double deep_wvlnt, double waveh_1km,
                               float tideheight) {
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
        st.depth_second.eraseThrough(st.depth_second_used - 1);
        st.depth_second_used = 0;

        const int N = ptraster_third(ray, static_cast<float>(st.cell_step), dirindex, tideheight);
        st.depth_second_used = std::max(st.depth_second_used, std::clamp(N + 1, 0, st.depth_second.size));
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
    } catch (const std::exception& e) {
        platform::logCause("The second shallow-water stage of direction " + std::to_string(dirindex), e.what());
        st.err_third = 1;
        return 0;
    }
}

int16_t SecondShallowStage::ptraster_third(const RaySegment& ray, float int_dist, int16_t dirindex,
                                       float tideheight) {
    auto& st = ctx_.state;
    st.err_ptthird = 0;
    try {
        const auto v = ctx_.bathy.densify(ray, int_dist);
        int cnt = cint16(static_cast<double>(v.size()));
        // Only the last Fetch_first metres before the site belong to this stage.
        if (static_cast<float>(st.Fetch_first) < static_cast<float>(cnt) * int_dist)
            cnt = cint16(st.Fetch_first / static_cast<double>(int_dist));

        std::vector<DepthSample> samples(static_cast<std::size_t>(std::clamp(cnt, 0, static_cast<int>(v.size()))));
        st.depth_second_used = std::max(st.depth_second_used, std::clamp(cnt, 0, st.depth_second.size));
        ctx_.bathy.identifyMany(v.data(), samples.size(), samples.data());
        for (int a = 0; a < cnt; ++a) {
            const bool read = a < static_cast<int>(samples.size());
            const ProfileDepth p = profileDepth(read ? samples[static_cast<std::size_t>(a)] : ctx_.bathy.identify(v[a]),
                                                ctx_.unitfactor, tideheight, st.bathy_positive, true);
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

int16_t SecondShallowStage::ptraster_third_test(const RaySegment&, float, int16_t) {
    for (int k = 10; k >= 0; --k) ctx_.state.depth_second(k) = 2 - (10 - k) * 2.0 / 10;
    ctx_.state.depth_second_used = std::max(ctx_.state.depth_second_used, 11);
    return 10;
}

}  // namespace quor::wave
