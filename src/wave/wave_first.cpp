#include "wave/wave_first.h"

#include <algorithm>
#include <stdexcept>

#include "gis/effective_fetch_rays.h"
#include "gis/raster_sampling.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/fields.h"
#include "platform/numbers.h"
#include "wave/checked_math.h"
#include "wave/hyperbolic.h"
#include "platform/log.h"

namespace quor::wave {

using platform::roundHalfEven;
using stage::kGravity;
using stage::kFormulaPi;

namespace {

// A failure that ends the site's wave computation without an error of its own.
struct SiteFailed {};

}  // namespace

AverageDepthFn rasterAverageDepth(model::ModelState& state, const model::MainFormState& mainform,
                                  const DepthSampler* stagesSampler) {
    // One sampler serves every direction; it keeps nothing between them.
    gis::wave_ptraster_cls averaging(state, mainform);
    if (stagesSampler)
        averaging.readThrough([stagesSampler](const platform::gis::Point* points, std::size_t count,
                                              platform::gis::PixelValue* out) {
            stagesSampler->identifyMany(points, count, out);
        });
    return [sampler = std::move(averaging)](const RayItem& ray, int16_t dirindex, float tideheight) mutable {
        if (ray.feature) {
            sampler.ptraster_avg(*ray.feature, dirindex, tideheight);
        } else {
            const auto& s = ray.segment;
            sampler.ptraster_avg(platform::gis::Geometry::line(s.from, s.to), dirindex,
                                 tideheight);
        }
    };
}

RayItem rayOf(const platform::gis::Feature& feature) {
    RayItem r;
    r.dir = cint16(static_cast<double>(platform::gis::toInt(feature.value("Dir"))));
    const platform::gis::Path seg = feature.shape().firstSegment();
    r.segment = {seg[0], seg[1]};
    r.feature = std::make_shared<platform::gis::Feature>(feature);
    return r;
}

std::vector<RayItem> effectiveFetchRayItems(const platform::gis::Point& site,
                                            const model::BoundedArray<double, 60>& fetcharray, int n) {
    std::vector<RayItem> rays;
    rays.reserve(static_cast<std::size_t>(std::max(n, 0)));
    for (int d = 0; d < n; ++d) {
        const platform::gis::Path line = gis::effectiveFetchLine(site, fetcharray, d, n);
        RayItem r;
        r.dir = d;
        r.segment = {line[0], line[1]};
        rays.push_back(std::move(r));
    }
    return rays;
}

double wave_first_cls::waveht(int16_t norays, const std::vector<RayItem>& rays, float tideheight) {
    return wavehtCore(norays, static_cast<int>(rays.size()), [&](int i) { return rays[i - 1]; }, tideheight);
}

double wave_first_cls::waveht(int16_t norays, const platform::gis::FeatureClass& pfeatureclass, float tideheight) {
    int count = 0;
    try {
        count = static_cast<int>(pfeatureclass.featureCount());
    } catch (const std::exception& e) {
        platform::logCause("Counting the site's rays", e.what());
        ctx_.stage.state.err_waveht = 1;
        return 0;
    }
    return wavehtCore(norays, count, [&](int i) { return rayOf(pfeatureclass.feature(i)); }, tideheight);
}

double wave_first_cls::wavehtCore(int16_t norays, int count, const std::function<RayItem(int)>& rayAt,
                                  float tideheight) {
    auto& st = ctx_.stage.state;
    st.err_waveht = 0;
    double maxH = 0, maxT = 0, sumH = 0, sumT = 0;
    int withWaves = 0;
    const bool debugOn = debugOutputEnabled(st);
    const std::string folder = debugOutputFolder(st.app_folder);
    auto& debug = ctx_.stage.debug;

    try {
        const int total = count;  // rays of the fan
        for (int i = 1; i <= total; ++i) {
            const RayItem ray = rayAt(i);
            const int d = ray.dir;
            const double U = st.windarray(d);
            const double F = st.fetcharray(d);
            if (U == 0) {
                st.wvpdarray(d) = 0;
                st.energyarray(d) = 0;
            } else {
                if (!ctx_.averageDepth) throw std::logic_error("no depth sampler");
                ctx_.averageDepth(ray, static_cast<int16_t>(d), tideheight);
                if (st.err_ptraster == 1) throw SiteFailed{};

                const double U2 = checked(U * U);
                const double A = 0.077 * cpow(cdiv(kGravity * F, U2), 0.25);
                const double T0 = 1.2 * Tanh(A) * 2 * kFormulaPi * U / kGravity;
                const double L0 = kGravity * (T0 * T0) / (2 * kFormulaPi);
                // Wind over a zero fetch grows no wave: the site cannot be computed.
                if (!(L0 > 0)) throw SiteFailed{};

                const double h = st.deptharray(d);
                const double r = cdiv(h, L0);
                if (r >= 2) {
                    st.wvpdarray(d) = 1.2 * Tanh(A) * U * 2 * kFormulaPi / kGravity;
                } else {
                    const double B = 0.833 * cpow(cdiv(kGravity * h, U2), 0.375);
                    const double tB = Tanh(B);
                    st.wvpdarray(d) = checked(1.2 * tB * Tanh(cdiv(A, tB)) * U * 2 * kFormulaPi / kGravity);
                }

                if (ctx_.settings.refreshmap == 0) ctx_.progress.yield();

                const double k = runShallowStages(norays, static_cast<int16_t>(d), ray, L0, tideheight);
                if (st.err_second == 1) throw SiteFailed{};

                if (debugOn) {
                    debug.writeArray(folder + "/WvHt.txt", kDepthFileTitle, st.wvhtarray);
                    debug.writeArray(folder + "/Wvpd.txt", kDepthFileTitle, st.wvpdarray);
                }

                const double H = st.wvhtarray(d);
                const double T = st.wvpdarray(d);
                st.energyarray(d) = checked(199.875 * kGravity * (H * H) * (T * T) * Tanh(checked(st.depth_second(0) * k)));

                if (H > maxH) {
                    maxH = H;
                    st.max_wvdir = d;
                }
                if (T > maxT) {
                    maxT = T;
                    st.max_wvpd = T;
                }
                if (H > 0) {
                    sumT += T;
                    sumH += H;
                    ++withWaves;
                }
            }
            const float bar = 50 + 50 * static_cast<float>(i) / static_cast<float>(total);
            ctx_.progress.setValue(1, static_cast<int>(roundHalfEven(bar, 0)));
        }

        st.max_wvht = maxH;
        if (withWaves != 0) {
            st.avg_wvht = sumH / withWaves;
            st.avg_wvpd = sumT / withWaves;
        } else {
            st.avg_wvht = 0;
            st.avg_wvpd = 0;
        }

        if (debugOn) {
            debug.writeArray(folder + "/fetcharray.txt", kFetchFileTitle, st.fetcharray);
            debug.writeArray(folder + "/windarray.txt", kWindFileTitle, st.windarray);
        }
        return maxH;
    } catch (const SiteFailed&) {
        st.err_waveht = 1;
        return maxH;
    } catch (const std::exception& e) {
        platform::logCause("Growing the site's waves", e.what());
        st.err_waveht = 1;
        return maxH;
    }
}

double wave_first_cls::runShallowStages(int16_t norays, int16_t dirindex, const RayItem& ray, double deep_wvlnt,
                                        float tideheight) {
    // One stage object serves every direction: its depth profile (88 kB) is
    // cleared at the start of each direction rather than rebuilt.
    if (!firstStage_) firstStage_ = std::make_unique<FirstShallowStage>(ctx_.stage);
    return firstStage_->wave_second(norays, dirindex, ray.segment, deep_wvlnt, 0, tideheight);
}

}  // namespace quor::wave
