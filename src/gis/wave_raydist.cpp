#include "gis/wave_raydist.h"

#include <span>
#include <vector>
#include <stdexcept>

#include "gis/effective_fetch_rays.h"
#include "gis/lineprofile.h"
#include "gis/ray_geometry.h"
#include "gis/ray_walk.h"
#include "model/effective_fetch.h"
#include "platform/gis/gis_error.h"
#include "platform/numbers.h"
#include "platform/array_file.h"
#include "platform/log.h"

namespace quor::gis {

namespace {

// The diagnostic files never decide a site's result: a write that fails
// is passed over. Without a base folder there is nowhere to put them
// (never the file system's root).
void writeDiagnostic(const std::string& base, const std::string& sub, const std::string& name,
                     std::span<const double> values) {
    if (base.empty()) return;
    try {
        platform::writeOutputArrayFile(base + sub + "/" + name, platform::kDepthFileTitle, values);
    } catch (const std::exception& e) {
        platform::logCause("Writing the diagnostic file " + name, e.what());
    }
}

}  // namespace

void wave_raydist_cls::ptraster_wave(const pg::Feature& pfeature, float int_dist, int dirindex, const pg::Point& spoint,
                                     float tideheight) {
    pg::Path segment;
    try {
        segment = pfeature.shape().firstSegment();
    } catch (const std::exception& e) {
        ctx_.messages.message(e.what(), platform::MessageIcon::Critical);
        ctx_.state.err_fetch = 1;
        return;
    }
    walkSegment(segment, int_dist, dirindex, spoint, tideheight);
}

void wave_raydist_cls::walkSegment(const pg::Path& segment, float int_dist, int dirindex, const pg::Point&,
                                   float tideheight) {
    try {
        pg::densifyInto(segment, int_dist, vertices_);
        const pg::Path& vertices = vertices_;
        if (!ctx_.state.bathy_raster) throw pg::GisError("There is no bathymetry raster to measure the rays on.");
        const auto wet = walkRay(vertices, int_dist, samplerOf(*ctx_.state.bathy_raster),
                                 ctx_.state.bathy_positive == 1, tideheight, ctx_.mainform.unitfactor);
        if (!wet) {
            ctx_.state.err_nowater = 1;
            return;
        }
        lengtharray_(dirindex + 7) = lengtharray_(dirindex + 7) + *wet;
    } catch (const std::exception& e) {
        // A failed walk is a failed measurement, not a dry site.
        ctx_.messages.message(e.what(), platform::MessageIcon::Critical);
        ctx_.state.err_fetch = 1;
    }
}

bool wave_raydist_cls::measure(int norays, bool haveRays,
                               const std::function<std::int64_t()>& countRays,
                               const std::function<void(std::int64_t j, float step)>& walkRayAt) {
    model::ModelState& st = ctx_.state;
    const model::MainFormState& mf = ctx_.mainform;
    if (!haveRays) throw pg::GisError("There is no ray fan to measure.");
    lengtharray_.erase();
    if (!(mf.Fetch > 0)) throw std::invalid_argument("The maximum fetch must be greater than 0.");
    const float s = static_cast<float>(fastRayStep(st.cell_step));

    const std::int64_t c = countRays();
    for (std::int64_t j = 1; j <= c; ++j) {
        walkRayAt(j, s);
        if (st.err_nowater == 1 || st.err_fetch == 1) return false;
        ctx_.progress.setValue(1, static_cast<int>(platform::roundHalfEven(static_cast<float>(5 + 40.0 * j / c))));
    }

    for (double& v : lengtharray_)
        if (v > mf.Fetch) v = mf.Fetch;

    ctx_.atCommit([base = mf.dir_path, v = std::vector<double>(lengtharray_.begin(), lengtharray_.begin() + 61)] {
        writeDiagnostic(base, "/output_data", "lengtharray_fast.txt", v);
    });

    const int n = norays;
    model::wrapDirectionTable(lengtharray_, n);
    model::fillEffectiveFetch(st.fetcharray, lengtharray_, n);
    return true;
}

void wave_raydist_cls::writeFetchDiagnostic(int n) {
    const model::ModelState& st = ctx_.state;
    if (st.debug_mode == 1)
        ctx_.atCommit([base = st.app_folder, v = std::vector<double>(st.fetcharray.begin(), st.fetcharray.begin() + n)] {
            writeDiagnostic(base, "/Project/output_data", "fetcharray_fast.txt", v);
        });
}

std::shared_ptr<pg::FeatureClass> wave_raydist_cls::wave_raydist(int norays, const pg::Point& spoint, float tideheight,
                                                                 const std::shared_ptr<pg::FeatureClass>& rays) {
    model::ModelState& st = ctx_.state;
    const model::MainFormState& mf = ctx_.mainform;
    st.err_nowater = 0;
    st.err_fetch = 0;
    std::shared_ptr<pg::FeatureClass> result;
    try {
        int dirField = -1;
        const bool measured = measure(
            norays, rays != nullptr,
            [&] {
                const std::int64_t c = rays->featureCount();
                dirField = rays->findField("Dir");
                if (dirField < 0) throw pg::GisError("The ray class has no field \"Dir\".");
                return c;
            },
            [&](std::int64_t j, float s) {
                const pg::Feature f = rays->feature(j);
                const int d = platform::toInt16(static_cast<double>(pg::toInt(f.value(dirField))));
                ptraster_wave(f, s, d, spoint, tideheight);
            });
        if (!measured) return nullptr;

        // Beside the fan, wherever the run keeps its work classes.
        auto ws = rays->workspace() ? rays->workspace() : mf.ptworkspace;
        result = drawEffectiveFetchRays(ws, spoint, st.fetcharray, norays, ctx_.messages);
        writeFetchDiagnostic(norays);
        return result;
    } catch (const std::invalid_argument& e) {
        ctx_.messages.message(e.what(), platform::MessageIcon::Critical);
        st.err_fetch = 1;
        return nullptr;
    } catch (const std::exception& e) {
        platform::logCause("Measuring the effective fetch", e.what());
        st.err_fetch = 1;
        return result;
    }
}

bool wave_raydist_cls::wave_raydist(int norays, const pg::Point& spoint, float tideheight,
                                    const std::vector<FanRay>& rays) {
    model::ModelState& st = ctx_.state;
    st.err_nowater = 0;
    st.err_fetch = 0;
    try {
        const bool measured = measure(
            norays, true, [&] { return static_cast<std::int64_t>(rays.size()); },
            [&](std::int64_t j, float s) {
                const FanRay& ray = rays[static_cast<std::size_t>(j - 1)];
                const int d = platform::toInt16(static_cast<double>(ray.dir));
                if (ray.parts.empty() || ray.parts[0].size() < 2) {
                    ctx_.messages.message("The geometry has no segment.", platform::MessageIcon::Critical);
                    st.err_fetch = 1;
                    return;
                }
                walkSegment(pg::Path{ray.parts[0][0], ray.parts[0][1]}, s, d, spoint, tideheight);
            });
        if (!measured) return false;
        writeFetchDiagnostic(norays);
        return true;
    } catch (const std::invalid_argument& e) {
        ctx_.messages.message(e.what(), platform::MessageIcon::Critical);
        st.err_fetch = 1;
        return false;
    } catch (const std::exception& e) {
        platform::logCause("Measuring the effective fetch", e.what());
        st.err_fetch = 1;
        return false;
    }
}

}  // namespace quor::gis
