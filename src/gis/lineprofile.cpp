#include "gis/lineprofile.h"

#include "gis/ray_profile_math.h"
#include "platform/gis/gis_error.h"
#include "platform/numbers.h"

namespace quor::gis {

RasterSampler samplerOf(const pg::Raster& raster) { return RasterSampler(raster); }

namespace {

// A ray's "Dir" as an index of the ray arrays.
int checkedDir(std::int64_t dir64) {
    if (dir64 < model::BoundedArray<double, 32>::lower || dir64 > model::BoundedArray<double, 32>::upper)
        throw model::SubscriptError();
    return static_cast<int>(dir64);
}

}  // namespace

void lineprofile_cls::lineprofile(const std::shared_ptr<pg::FeatureClass>& pfeatureclass, const pg::Point& spoint,
                                  const std::shared_ptr<pg::Raster>& prasterlayer) {
    const int dirField = pfeatureclass ? pfeatureclass->findField("Dir") : -1;
    profile(
        pfeatureclass ? nullptr : "There is no ray class to profile.",
        [&] {
            const auto count = pfeatureclass->featureCount();
            if (dirField < 0) throw pg::GisError("The ray class has no field \"Dir\".");
            return count;
        },
        [&](std::int64_t i) {
            const pg::Feature f = pfeatureclass->feature(i);
            const int dir = checkedDir(pg::toInt(f.value(dirField)));
            return std::pair{dir, f.shape().firstSegment()};
        },
        spoint, prasterlayer);
}

void lineprofile_cls::lineprofile(const std::vector<FanRay>& rays, const pg::Point& spoint,
                                  const std::shared_ptr<pg::Raster>& prasterlayer) {
    profile(
        nullptr, [&] { return static_cast<std::int64_t>(rays.size()); },
        [&](std::int64_t i) {
            const FanRay& ray = rays[static_cast<std::size_t>(i - 1)];
            const int dir = checkedDir(ray.dir);
            if (ray.parts.empty() || ray.parts[0].size() < 2) throw pg::GisError("The geometry has no segment.");
            return std::pair{dir, pg::Path{ray.parts[0][0], ray.parts[0][1]}};
        },
        spoint, prasterlayer);
}

void lineprofile_cls::profile(const char* noRays, const std::function<std::int64_t()>& countRays,
                              const std::function<std::pair<int, pg::Path>(std::int64_t)>& rayAt,
                              const pg::Point& spoint, const std::shared_ptr<pg::Raster>& prasterlayer) {
    model::ModelState& st = ctx_.state;
    const model::MainFormState& mf = ctx_.mainform;
    try {
        if (!prasterlayer) throw pg::GisError("There is no bathymetry raster to profile the rays on.");
        if (noRays) throw pg::GisError(noRays);
        const RasterSampler sample = samplerOf(*prasterlayer);

        const PixelSample atSite = sample(spoint.x, spoint.y);
        if (atSite.kind == PixelSample::Kind::Outside)
            throw pg::GisError("The site lies outside the bathymetry raster.");
        if (atSite.kind == PixelSample::Kind::NoData) return;
        if (mf.depthno == 0 && atSite.value >= 0) return;

        // A zero or negative interrogation distance would never finish a ray.
        if (!(mf.dist_bathy > 0))
            throw pg::GisError("The bathymetry interrogation distance must be greater than 0.");
        // The sums divide by both; infinities would reach the index unnoticed.
        if (!(mf.Fetch > 0)) throw pg::GisError("The maximum fetch must be greater than 0.");
        if (mf.unitfactor == 0) throw pg::GisError("The bathymetry unit factor must not be 0.");

        windray_powers(st, ctx_.winddata);

        const XY site = spoint;
        const auto count = countRays();
        pg::Path dense;  // one buffer for every ray
        for (std::int64_t i = 1; i <= count; ++i) {
            const auto [dir, segment] = rayAt(i);
            const double length = pg::pathLength(segment);
            st.ray_fetch(dir) = length;
            pg::densifyInto(segment, mf.dist_bathy, dense);
            // The vertex count has always been a 16-bit number.
            if (dense.size() > 32767)
                throw platform::OverflowError("The ray has more than 32767 sample points; choose a longer "
                                              "bathymetry interrogation distance.");
            const auto& vertices = dense;

            if (ctx_.fm_property.indexcheck == 0) {
                try {
                    rayprofile(st, vertices, dir, site, length, sample, mf.Fetch, mf.unitfactor);
                } catch (const std::exception& e) {
                    ctx_.messages.message(std::string(e.what()) + "  Sub:Error in ExtractValue",
                                          platform::MessageIcon::Critical);
                }
            } else if (ctx_.fm_property.indexcheck == 1) {
                try {
                    rayprofile2(st, vertices, dir, site, sample, mf.Fetch, mf.unitfactor);
                } catch (const std::exception& e) {
                    ctx_.messages.message(std::string(e.what()) + "  Sub:Error in ExtractValue",
                                          platform::MessageIcon::Critical);
                }
                ctx_.progress.setValue(1, static_cast<int>(platform::roundHalfEven(5 + static_cast<double>(i) / 32 * 80)));
            }
        }
        if (ctx_.fm_property.refreshmap == 0) ctx_.progress.setValue(1, 85);
    } catch (const std::exception& e) {
        ctx_.messages.message(std::string(e.what()) + "  ", platform::MessageIcon::Critical);
    }
}

}  // namespace quor::gis
