#include "wave/wave_main.h"

#include <time.h>
#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "gis/cliprays.h"
#include "gis/createrays.h"
#include "gis/deleterays.h"
#include "gis/input_references.h"
#include "gis/selorphans.h"
#include "gis/shorebathy.h"
#include "gis/site_run.h"
#include "gis/wave_raydist.h"
#include "model/bathy_units.h"
#include "platform/file_replacement.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/raster.h"
#include "platform/gis/workspace.h"
#include "platform/numbers.h"
#include "platform/textfile.h"
#include "project/run_hold.h"
#include "project/run_sites.h"
#include "wave/attached_fetch.h"
#include "wave/bottom_velocity.h"
#include "wave/debug_files.h"
#include "wave/eff_fetch.h"
#include "wave/rwe_results.h"
#include "wave/rwe_run_start.h"
#include "wave/wave_first.h"
#include "wave/wave_wind.h"

namespace quor::wave {

namespace {

// Processor time of this thread: what a phase costs, whatever else the machine runs.
struct Clock {
    using time_point = double;
    static double now() {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
    }
};

double seconds(Clock::time_point since) { return Clock::now() - since; }

std::string num(double v) {
    if (v == 0) v = 0;  // no "-0"
    return platform::formatNumber(v);
}

// Sets every result of the site to a status code; whether its sediment
// moves is unknown, so no motion is reported.
void statusInto(model::ModelState& s, double code, double& rwe) {
    rwe = code;
    s.max_wvht = s.avg_wvht = s.max_wvdir = s.max_wvpd = s.avg_wvpd = code;
    s.esa_orbvel = s.esa_shearvel = s.esa_shearstress = code;
    s.lwt_orbvel = s.lwt_shearvel = s.lwt_shearstress = code;
    s.crit_shearstress = code;
    s.sed_motion = 0;
}

void clearStageFlags(model::ModelState& s) {
    s.err_clip = s.err_rays = s.err_fetch = 0;
    s.err_second = s.err_ptsecond = s.err_third = s.err_ptthird = 0;
    s.err_waveht = s.err_ptraster = s.err_nowater = 0;
}

}  // namespace

int16_t rayCountOf(int16_t nrays) {
    switch (nrays) {
        case 0: return 16;
        case 1: return 32;
        case 2: return 40;
        case 3: return 48;
        case 4: return 56;
        default: return 32;
    }
}

double siteDepth(double pixel, int16_t bathy_positive, float tidedepth, float unitfactor) {
    const double v = unitfactor != 0 ? pixel / unitfactor : pixel;
    const double d = bathy_positive == 0 ? -(v + tidedepth) : v - tidedepth;
    return platform::roundHalfEven(d, 2);
}

double rweSum(const model::ModelState& s, int n) {
    double sum = 0;
    for (int d = 0; d < n; ++d) sum += s.energyarray(d) * s.durarray(d) / 100;
    return sum;
}

std::string batchLogLine(const model::ModelState& s, int16_t counter, double rwe, double depth) {
    const bool spectral = s.velocity_method == 1;
    auto r2 = [](double v) { return num(platform::roundHalfEven(v, 2)); };
    auto r3 = [](double v) { return num(platform::roundHalfEven(v, 3)); };
    const std::string line = std::to_string(counter) + " " + r2(rwe) + " " + r2(s.max_wvht) + " " +
                             r2(s.avg_wvht) + " " + r2(s.max_wvdir) + " " + r2(s.max_wvpd) + " " + r2(s.avg_wvpd) +
                             " " + num(depth) + " " + s.batch_windname + " ";
    // Switched off, the shared bottom results are what some earlier site
    // or run left there, status codes included.
    if (s.orbvel_on != 1) {
        const std::string off = num(model::kSwitchedOff);
        return line + off + " " + off + " " + off + " " + off + " 0";
    }
    return line + r3(spectral ? s.esa_orbvel : s.lwt_orbvel) + " " + r3(spectral ? s.esa_shearvel : s.lwt_shearvel) +
           " " + r3(spectral ? s.esa_shearstress : s.lwt_shearstress) + " " + r3(s.crit_shearstress) + " " +
           std::to_string(s.sed_motion);
}

std::optional<std::string> wave_main_cls::startProblem(const pg::FeatureClass& points) {
    auto& rc = ctx_.rays;
    auto& s = rc.state;
    auto& mf = rc.mainform;
    if (!(mf.Fetch > 0))
        return "The maximum fetch must be greater than 0 (it is " + num(mf.Fetch) + "). Please correct it in the settings.";
    if (!(mf.dist_bathy > 0))
        return "The bathymetry interrogation distance must be greater than 0 (it is " + num(mf.dist_bathy) + ").";
    mf.unitfactor = model::unitFactorOf(mf.bathyunits);

    std::shared_ptr<pg::Raster> raster;
    try {
        raster = runBathymetry(s, mf);
    } catch (const std::exception& e) {
        return std::string("The bathymetry raster cannot be opened: ") + e.what();
    }
    const double cx = raster->cellSizeX(), cy = raster->cellSizeY();
    const double cell = cx - cy > 1 ? cy : cx;
    if (!(cell > 0)) return "The bathymetry raster's cell size must be greater than 0.";
    std::pair<double, double> mm;
    try {
        mm = raster->minMax();
    } catch (const std::exception&) {
        return "The bathymetry raster " + mf.bathycov + " holds no valid depth (every cell is NoData).";
    }
    if (!std::isfinite(mm.first) || !std::isfinite(mm.second))
        return "The bathymetry raster " + mf.bathycov + " holds no valid depth (every cell is NoData).";

    const pg::SpatialReference bathySr = raster->spatialReference();
    if (auto p = gis::bathymetryReferenceProblem(*raster, mf.bathycov)) return p;
    if (auto p = gis::sitesReferenceProblem(points.spatialReference(), points.name(), bathySr)) return p;
    if (s.wv_indexcheck == 0) {
        // A project made with the faster algorithm has none to clip at.
        if (mf.shorename.empty()) return std::string(gis::kProjectWithoutShoreline);
        try {
            rc.shoreline.reset();
            const auto& shore = rc.shore();
            if (auto p = gis::shorelineReferenceProblem(shore.spatialReference(), mf.shorename, bathySr)) return p;
        } catch (const std::exception& e) {
            return "The shoreline " + mf.shorecov + "/" + mf.shorename + " cannot be used: " + e.what();
        }
    }

    // Read whole before anything is written, and before any field is
    // looked at: a table cut short would take the first sites' values and
    // then break the run off, and a damaged one cannot tell its fields.
    if (auto p = project::sitesNotWhole(points, rc.sitesMayBeNone)) return std::string(kCouldNotRun) + "\n" + *p;
    if (s.batch_mode == 0) {
        if (auto p = rweFieldProblem(points, s)) return p;
        // Written once the sites are done: what stands in its way is told
        // now, before they are computed.
        const std::string metadata = rweMetadataPath(ctx_.shpdir, ctx_.shpname1);
        if (const auto what = platform::otherThanAFile(metadata))
            return metadata + " is " + *what + " where the run's metadata file goes. Please move or rename it; "
                   "nothing was written.";
    }

    // The sign flag and the sampling step of the run.
    if (mm.first < 0 && mm.second > 0)
        mf.depthno = 0;
    else if ((mm.first < 0 && mm.second <= 0) || (mm.first >= 0 && mm.second > 0))
        mf.depthno = 1;
    s.cell_step = cell - cell / 100;
    s.bathy_raster = raster;
    return std::nullopt;
}

namespace {

// What the steps of one site hand on to each other.
struct Site {
    int number = 0;  // counted from 1
    pg::Point point{};
    double depth = 0;  // the depth the model uses, water level applied; 0 off the raster
    double rwe = 0;
    bool failed = false;  // rwe and the wave results hold a status code
    double raySeconds = 0, waveSeconds = 0;
    // Its fields' values and its row, made on its worker so that the
    // commit only stores them.
    std::optional<RweStoredValues> stored;
    std::optional<pg::SpeltRow> row;
};

// The values of a site the results step writes, from the state its
// computation left.
RweSiteResult siteResult(const model::ModelState& s, const Site& site) {
    return {site.rwe, s.max_wvht, s.avg_wvht, s.max_wvdir, s.avg_wvpd, s.max_wvpd, site.failed};
}

// One run's sites, step by step: site depth, rays, fetch, waves, results.
// A step that fails puts the site's status code into its results and the
// site goes straight on to the results step.
class SiteSteps {
public:
    // On a worker's own context; its debug files are written by the
    // run's reporter when the site is committed.
    SiteSteps(gis::SiteWorker& worker, model::RunShell& shell, int n, float tidedepth, DebugFileReporter& runDebug)
        : rc_(worker.rays()), s_(rc_.state), mf_(rc_.mainform), shell_(shell), n_(n), tidedepth_(tidedepth),
          debug_(rc_.messages), sampler_(s_.bathy_raster), debugFolder_(debugOutputFolder(s_.app_folder)) {
        debug_.deferTo(runDebug, worker.feedback());
    }

    // Everything up to the results: the site's layers are off the worker's
    // map when this returns.
    void compute(const std::optional<pg::Point>& point, Site& site) {
        resetSite(site);
        const auto t0 = Clock::now();
        gis::RaySite scope(rc_);
        if (!rc_.raysAsClasses()) {
            // Nothing is drawn, so nothing reads the rays as a class: they stay plain lines.
            std::optional<std::vector<RayItem>> eff;
            if (locate(point, site) && siteDepth(site))
                if (const auto rays = castPlainRays(site)) eff = plainFetch(site, *rays);
            site.raySeconds = seconds(t0);
            if (eff) {
                const auto t1 = Clock::now();
                waves(site, *eff);
                site.waveSeconds = seconds(t1);
            }
            return;
        }
        std::shared_ptr<pg::FeatureClass> eff;
        if (locate(point, site) && siteDepth(site))
            if (const auto rays = castRays(site)) eff = fetch(site, rays);
        site.raySeconds = seconds(t0);
        if (eff) {
            const auto t1 = Clock::now();
            waves(site, *eff);
            site.waveSeconds = seconds(t1);
        }
    }

private:
    void fail(Site& site, double code) {
        statusInto(s_, code, site.rwe);
        site.failed = true;
    }

    void resetSite(Site& site) {
        // A flag a stage left for an earlier site never marks this one.
        clearStageFlags(s_);
        s_.max_wvht = s_.avg_wvht = s_.max_wvdir = s_.max_wvpd = s_.avg_wvpd = 0;
        s_.pt_depth = static_cast<float>(model::pt_status::no_data);
        site.depth = 0;
        site.rwe = 0;
        site.failed = false;
    }

    bool locate(const std::optional<pg::Point>& point, Site& site) {
        if (point) {
            site.point = *point;
            return true;
        }
        // No point to cast a fan from (a site without a shape).
        fail(site, model::pt_status::rays_failed);
        return false;
    }

    // The raster value at the site; off the raster the site goes on at depth 0.
    bool siteDepth(Site& site) {
        try {
            const pg::PixelValue v = s_.bathy_raster->identify(site.point);
            if (v.hasValue() && (s_.bathy_positive == 0 || s_.bathy_positive == 1)) {
                site.depth = wave::siteDepth(v.value, s_.bathy_positive, tidedepth_, mf_.unitfactor);
                s_.pt_depth = static_cast<float>(platform::roundHalfEven(v.value, 2));
            } else if (!v.isOutside()) {
                fail(site, model::pt_status::no_data);
            }
        } catch (const std::exception&) {
            fail(site, model::pt_status::no_data);
        }
        return !site.failed;
    }

    std::shared_ptr<pg::FeatureClass> castRays(Site& site) {
        s_.err_rays = 0;
        std::shared_ptr<pg::FeatureClass> rays;
        try {
            rays = gis::wave_createrays_cls(rc_).WaveCreaterays(site.point, rc_.workspace, mf_.projname,
                                                                 site.number, n_);
        } catch (const std::exception&) {
            s_.err_rays = 1;
        }
        if (s_.err_rays == 1 || !rays) {
            fail(site, model::pt_status::rays_failed);
            return nullptr;
        }
        return rays;
    }

    std::optional<std::vector<gis::FanRay>> castPlainRays(Site& site) {
        s_.err_rays = 0;
        std::optional<std::vector<gis::FanRay>> rays;
        try {
            rays = gis::wave_createrays_cls(rc_).WaveCastPlain(site.point, rc_.workspace, n_);
        } catch (const std::exception&) {
            s_.err_rays = 1;
        }
        if (s_.err_rays == 1 || !rays) {
            fail(site, model::pt_status::rays_failed);
            return std::nullopt;
        }
        return rays;
    }

    // The effective-fetch rays of a site whose rays are plain lines, or
    // nothing when the site ends here; as fetch() with its class.
    std::optional<std::vector<RayItem>> plainFetch(Site& site, const std::vector<gis::FanRay>& rays) {
        if (s_.wv_indexcheck == 0) {
            const double status = attachedEffectiveFetch(rc_, rays, n_, site.point);
            if (status != 0) {
                fail(site, status);
                return std::nullopt;
            }
            return effectiveFetchRayItems(site.point, s_.fetcharray, n_);
        }
        bool measured = false;
        try {
            measured = gis::wave_raydist_cls(rc_).wave_raydist(n_, site.point, tidedepth_, rays);
        } catch (const std::exception&) {
            s_.err_fetch = 1;
        }
        if (dryAfterWalk()) {
            site.rwe = 0;
            return std::nullopt;
        }
        if (s_.err_fetch == 1 || !measured) {
            fail(site, model::pt_status::fast_failed);
            return std::nullopt;
        }
        return effectiveFetchRayItems(site.point, s_.fetcharray, n_);
    }

    // A site the fast walk found dry: no waves, and a direction that says why.
    bool dryAfterWalk() {
        if (s_.err_nowater != 1) return false;
        s_.err_nowater = 0;
        s_.max_wvht = s_.avg_wvht = s_.max_wvpd = s_.avg_wvpd = 0;
        // Both methods' bottom values: either may be the one written.
        s_.esa_orbvel = s_.esa_shearvel = s_.esa_shearstress = 0;
        s_.lwt_orbvel = s_.lwt_shearvel = s_.lwt_shearstress = 0;
        s_.max_wvdir = model::pt_status::no_water_direction;
        return true;
    }

    // The effective-fetch class of the site, or nothing when the site ends here.
    std::shared_ptr<pg::FeatureClass> fetch(Site& site, const std::shared_ptr<pg::FeatureClass>& rays) {
        return s_.wv_indexcheck != 0 ? fastFetch(site, rays) : clipFetch(site, rays);
    }

    // Rays measured by stepping over the bathymetry.
    std::shared_ptr<pg::FeatureClass> fastFetch(Site& site, const std::shared_ptr<pg::FeatureClass>& rays) {
        std::shared_ptr<pg::FeatureClass> eff;
        try {
            eff = gis::wave_raydist_cls(rc_).wave_raydist(n_, site.point, tidedepth_, rays);
        } catch (const std::exception&) {
            s_.err_fetch = 1;
        }
        if (dryAfterWalk()) {
            site.rwe = 0;
            return nullptr;
        }
        if (s_.err_fetch == 1 || !eff) {
            fail(site, model::pt_status::fast_failed);
            return nullptr;
        }
        return eff;
    }

    // Rays clipped at the shoreline, the pieces attached to the site kept.
    std::shared_ptr<pg::FeatureClass> clipFetch(Site& site, const std::shared_ptr<pg::FeatureClass>& rays) {
        if (!rc_.raysAsClasses()) {
            // Nothing is drawn: the attached pieces come straight from the shoreline.
            const AttachedFetch direct = attachedEffectiveFetch(rc_, rays, n_, site.point);
            if (!direct.eff) fail(site, direct.status);
            return direct.eff;
        }
        std::shared_ptr<pg::FeatureClass> pieces;
        try {
            pieces = gis::wave_cliprays_cls(rc_).cliprays(mf_.projname, rays);
        } catch (const std::exception&) {
            s_.err_clip = 1;
        }
        std::shared_ptr<pg::FeatureClass> kept;
        if (s_.err_clip != 1 && pieces) {
            try {
                auto orp = gis::createRayWorkClass(rc_, rc_.workspace, "orp_rays");
                kept = gis::wave_selorphan_cls(rc_).selorphans(site.point, pieces, rc_.workspace, orp);
            } catch (const std::exception&) {
                kept.reset();
            }
        }
        // No piece attached to the site: the shoreline puts it on land.
        if (!kept || kept->featureCount() == 0) {
            fail(site, model::pt_status::clip_failed);
            return nullptr;
        }
        std::shared_ptr<pg::FeatureClass> eff;
        try {
            eff = wave_effFetch_cls(s_, mf_, rc_.map, rc_.messages,
                                    [this](const std::shared_ptr<pg::Layer>& layer) { rc_.hideLayer(layer); })
                      .effFetch(kept, static_cast<int16_t>(n_), site.point);
        } catch (const std::exception&) {
            s_.err_fetch = 1;
        }
        if (s_.err_fetch == 1 || !eff) {
            fail(site, model::pt_status::fetch_failed);
            return nullptr;
        }
        return eff;
    }

    // Wave growth along the rays, the RWE sum, the direction and period of
    // the largest wave, and the bottom velocity when it is switched on.
    // `eff`: the effective-fetch class, or its rays as plain lines.
    template <class EffectiveFetchRays>
    void waves(Site& site, const EffectiveFetchRays& eff) {
        WaveSiteContext wctx{StageContext{s_, sampler_, mf_.unitfactor, rc_.messages, debug_}, rc_.fm_property,
                             rc_.progress, rasterAverageDepth(s_, mf_, &sampler_)};
        wave_first_cls(wctx).waveht(static_cast<int16_t>(n_), eff, tidedepth_);
        if (s_.err_waveht == 1) {
            fail(site, s_.err_second != 1  ? model::pt_status::wave_failed
                       : s_.err_third == 1 ? model::pt_status::both_stages_failed
                                           : model::pt_status::first_stage_failed);
            return;
        }
        site.rwe = rweSum(s_, n_);
        if (debugOutputEnabled(s_))
            debug_.writeArray(debugFolder_ + "/RWE.txt", kWindFileTitle,
                              std::span<const double>(s_.energyarray.begin(), s_.energyarray.begin() + n_));
        if (s_.max_wvht == 0) {
            s_.max_wvdir = model::pt_status::no_data;
            s_.max_wvpd = 0;
            s_.avg_wvpd = 0;
        } else {
            s_.max_wvdir = s_.max_wvdir * 360 / n_;
        }
        if (rc_.fm_property.refreshmap != 1) rc_.atCommit([&shell = shell_] { shell.redraw(); });
        if (s_.orbvel_on == 1) {
            bottom_velocity_cls bv(s_);
            const auto period = static_cast<float>(s_.avg_wvpd), depth = static_cast<float>(site.depth);
            if (s_.velocity_method == 0)
                bv.bottom_velocity(s_.avg_wvht, period, depth);
            else
                bv.bottom_velocity_spectra(s_.avg_wvht, period, depth);
        }
    }

    gis::RayContext& rc_;
    model::ModelState& s_;
    model::MainFormState& mf_;
    model::RunShell& shell_;
    const int n_;
    const float tidedepth_;
    DebugFileReporter debug_;
    RasterDepthSampler sampler_;
    const std::string debugFolder_;
};

// Where the sites' results go: one batch-log line per site, or the
// site's fields and the run's metadata file.
class SiteOutput {
public:
    SiteOutput(WaveRunContext& ctx, pg::FeatureClass& points, RunOutcome& out, int n, int16_t batchCounter,
               std::string debugFolder)
        : ctx_(ctx), s_(ctx.rays.state), points_(points), out_(out), batchCounter_(batchCounter),
          debugFolder_(std::move(debugFolder)), metadataPath_(rweMetadataPath(ctx.shpdir, ctx.shpname1)) {
        meta_.bathyunits = model::unitNameOf(ctx.rays.mainform.bathyunits);
        meta_.windPath = ctx.rays.mainform.windpath;
        meta_.pointData = ctx.pointData;
        meta_.rays = n;
    }

    const std::string& metadataPath() const { return metadataPath_; }

    // False when the site's row was deleted (by another program) after
    // the run read it: the site is then passed over, as a row gone before
    // the run reads it is.
    bool results(pg::Feature& feature, const Site& site) {
        const auto t = Clock::now();
        bool kept = true;
        if (s_.batch_mode == 1)
            batchLine(site);
        else
            kept = fields(feature, site);
        out_.writeSeconds += seconds(t);
        return kept;
    }

private:
    void batchLine(const Site& site) {
        const std::string line = batchLogLine(s_, batchCounter_, site.rwe, site.depth);
        if (ctx_.batchLog) {
            ctx_.batchLog(line);
            return;
        }
        try {
            platform::TextWriter w(debugFolder_ + "/batch.txt", true);
            w.writeLine(line);
            w.close();
        } catch (const std::exception&) {
            ++out_.writeErrors;
        }
    }

    bool fields(pg::Feature& feature, const Site& site) {
        const RweSiteResult r = siteResult(s_, site);
        try {
            // A run on one thread makes a site's values here, at its commit.
            std::optional<RweStoredValues> madeHere;
            if (!site.stored) madeHere = rweStoredValues(s_, r);
            if (!places_) places_ = RweFieldPlaces::of(points_.fields());
            if (write_rwe_results(points_, feature, site.stored ? *site.stored : *madeHere,
                                  site.row ? &*site.row : nullptr, &*places_)) {
                ++out_.storedSites;
                if (r.failed)
                    ++out_.storedCodes[r.rwe];
                else if (r.max_wvdir == model::pt_status::no_water_direction)
                    ++out_.storedCodes[model::pt_status::no_water_direction];
            } else
                ++out_.notFinite;
        } catch (const pg::TableReplacedError&) {
            throw;  // nothing more can go into the table: the run stops
        } catch (const std::exception& e) {
            if (gis::deletedSinceRead(points_, feature)) return false;
            if (out_.writeErrors++ == 0) out_.writeError = e.what();
            if (dynamic_cast<const pg::PartlyStoredError*>(&e)) out_.partlyStored.push_back(site.number);
        }
        // The site's sea values are the only ones the metadata file reads
        // that a site changes: kept for the file the run's end writes.
        lastSea_ = {s_.sea_dens, s_.sea_visc};
        return true;
    }

public:
    // Once the sites are done, however the run ended: the metadata file,
    // when a site's fields were written, as the last such site left the
    // run's values, timed at the run's end. Written once, not per site, so
    // that the commit of a site writes its fields and nothing else.
    void writeMetadata() {
        if (!lastSea_ || out_.metadataFailed) return;
        meta_.createdOn = ctx_.clock ? ctx_.clock() : currentDateTimeText();
        const std::pair<float, float> now{s_.sea_dens, s_.sea_visc};
        std::tie(s_.sea_dens, s_.sea_visc) = *lastSea_;
        const auto lines = rweMetadataLines(s_, ctx_.rays.mainform, meta_);
        std::tie(s_.sea_dens, s_.sea_visc) = now;
        try {
            writeRweMetadata(metadataPath_, lines);
        } catch (const std::exception& e) {
            // A file of this run that the disk did not confirm would pass
            // for a whole one: it goes. One from before the run stays, and
            // the message says whose it is.
            const bool ours = dynamic_cast<const platform::UnconfirmedError*>(&e) != nullptr;
            std::error_code ec;
            if (ours) std::filesystem::remove(metadataPath_, ec);
            if (!std::filesystem::exists(std::filesystem::symlink_status(metadataPath_, ec)))
                out_.metadataFailed = MetadataLeft::None;
            else
                out_.metadataFailed = ours ? MetadataLeft::EarlierSite : MetadataLeft::PreviousRun;
        }
    }

private:

    WaveRunContext& ctx_;
    model::ModelState& s_;
    pg::FeatureClass& points_;
    RunOutcome& out_;
    const int16_t batchCounter_;
    const std::string debugFolder_;
    const std::string metadataPath_;
    RweMetadataInputs meta_;
    std::optional<RweFieldPlaces> places_;  // once the fields are there
    std::optional<std::pair<float, float>> lastSea_;  // density, viscosity
};

// The model's own state after a run, whatever ended it; what the run held
// goes back after this.
class RunCleanUp {
public:
    explicit RunCleanUp(gis::RayContext& rc) : rc_(rc) {}
    RunCleanUp(const RunCleanUp&) = delete;
    RunCleanUp& operator=(const RunCleanUp&) = delete;
    ~RunCleanUp() {
        auto& st = rc_.state;
        const bool nowater = st.err_nowater;
        st.clearErrorFlags();
        st.err_nowater = nowater;
        st.erasePerSiteArrays();
        try {
            // A batch keeps the window for its next wind file.
            if (st.batch_mode != 1) rc_.progress.hide();
        } catch (...) {
        }
    }

private:
    gis::RayContext& rc_;
};

// One run over the sites, as the list of its steps. What the run holds
// for its length (the locks, the hold on the dataset, the clean-up, the
// sites' cursor) goes in the reverse order it was taken, however it ends.
class RweRun {
public:
    RweRun(WaveRunContext& ctx, std::function<bool()> confirmedCancel, std::shared_ptr<pg::FeatureClass> points,
           int16_t nrays, float tidedepth, int16_t batchCounter)
        : ctx_(ctx), rc_(ctx.rays), s_(rc_.state), msgs_(rc_.messages), progress_(rc_.progress),
          confirmedCancel_(std::move(confirmedCancel)), points_(std::move(points)), nrays_(nrays),
          tidedepth_(tidedepth), batchCounter_(batchCounter), background_(rc_.fm_property.refreshmap1 == 1),
          batch_(s_.batch_mode == 1), debug_(msgs_) {}

    RunOutcome run() {
        if (!admitted()) return out_;
        hold_.emplace(s_.run_lock, ctx_.shell);
        cleanUp_.emplace(rc_);
        if (!started()) return out_;
        output_.emplace(ctx_, *points_, out_, n_, batchCounter_, debugFolder_);
        beginSites();
        if (!computeSites()) return out_;
        tellEnd();
        return out_;
    }

private:
    // Taken here, however the run was started; a batch's single runs find
    // them held by their batch.
    bool admitted() {
        if (!points_) return true;
        locks_.emplace(&s_.run_lock, rc_.mainform.projfile, rc_.mainform.projname, *points_);
        if (!locks_->admit(msgs_, &s_.unguarded_run_told)) return true;
        out_.end = RunEnd::Refused;
        return false;
    }

    // Everything that may keep the run from its first site: its inputs,
    // its wind, its result fields.
    bool started() {
        if (s_.Eps > 1) s_.Eps = 1 / s_.Eps;
        if (!batch_) tidedepth_ = -s_.water_level;
        if (!points_) {
            msgs_.message(kCouldNotRun, platform::MessageIcon::Critical);
            return false;
        }
        hold_->writeInto(points_, ctx_.workingCopy);
        rc_.mainform.pointfeatclass = points_->name();
        if (auto problem = wave_main_cls(ctx_).startProblem(*points_)) {
            msgs_.message(*problem, platform::MessageIcon::Critical);
            out_.end = RunEnd::Refused;
            return false;
        }
        n_ = rayCountOf(nrays_);
        debugFolder_ = debugOutputFolder(s_.app_folder);
        // The wind file is read before the dataset is touched: a run that
        // cannot start leaves the dataset as it was.
        wave_wind_cls(s_, rc_.mainform, rc_.winddata, msgs_, debug_).wavewind(static_cast<int16_t>(n_));
        if (s_.err_wind == 1) {
            msgs_.message(kCouldNotRun, platform::MessageIcon::Critical);
            out_.windUnusable = true;
            return false;
        }
        // The sites' ids stay as they are when fields are added.
        cursor_.emplace(points_->search());
        count_ = static_cast<std::int64_t>(cursor_->remaining());
        if (add_rwe_fields(s_, rc_.mainform, *points_, msgs_)) {
            out_.end = RunEnd::Declined;
            return false;
        }
        if (background_) {
            hold_->toBackground();
        } else {
            progress_.show();
            // The bar counts the sites stored, as the title does.
            progress_.setMaximum(1, static_cast<int>(count_));
            progress_.setValue(1, 0);
        }
        return true;
    }

    void beginSites() {
        // A window that shows the sites as they come reads them from the
        // file: each is committed on its own there.
        hold_->storeSitesQuickly(background_ || !rc_.map.viewed());
        s_.avg_wvht = 0;
        s_.avg_wvpd = 0;
        out_.end = RunEnd::Completed;
        out_.sites = static_cast<int>(count_);
    }

    // Every site computed and committed; false when the run failed, told.
    bool computeSites() {
        try {
            SiteWork work;
            runSites(work);
            return sitesStored();
        } catch (const std::exception& e) {
            output_->writeMetadata();
            // A batch tells the failure in its own log and message.
            if (batch_) throw;
            brokenOff(e);
            return false;
        }
    }

    // The sites' computation: each worker's steps and speller, and the
    // run that drives them, there until the run's end has been told.
    struct SiteWork {
        // Each worker's steps, made on its own thread once its raster is open.
        std::vector<std::optional<SiteSteps>> steps;
        // With workers, each also makes its sites' values and spells their
        // rows, so that their commit only puts them in place.
        std::vector<pg::RowsAhead::Speller> spellers;
        std::shared_ptr<const pg::Fields> classFields;
        std::optional<gis::SiteRun<Site>> sites;
    };

    void runSites(SiteWork& work) {
        model::RunShell& shell = hold_->shell();
        work.classFields = points_->fields();
        auto& sites = work.sites.emplace(
            rc_, gis::SiteArrays::Erased, [&](gis::SiteWorker& w, int i, const gis::SiteItem& item, Site& site) {
                site.number = static_cast<int>(item.number);
                auto& mine = work.steps[static_cast<std::size_t>(i)];
                if (!mine) mine.emplace(w, shell, n_, tidedepth_, debug_);
                mine->compute(item.point, site);
                if (batch_ || work.steps.size() < 2) return;
                const model::ModelState& ws = w.rays().state;
                site.stored = rweStoredValues(ws, siteResult(ws, site));
                if (!work.spellers.empty())
                    site.row = spellRweRow(work.spellers[static_cast<std::size_t>(i)], work.classFields, *site.stored);
            });
        work.steps.resize(static_cast<std::size_t>(sites.threads()));
        if (!batch_ && sites.threads() > 1 && points_->rowsAhead())
            for (int k = 0; k < sites.threads(); ++k) work.spellers.emplace_back(points_->rowsAhead());
        out_.threads = sites.threads();
        sites.run(*cursor_, [this](gis::SiteItem& item, gis::ComputedSite<Site>& c) { return commit(item, c); });
    }

    // Once the sites are done: the metadata file, and whether the dataset
    // holds what the run stored; false when it does not, told.
    bool sitesStored() {
        output_->writeMetadata();
        out_.heldSites = hold_->held(out_.storedSites);
        if (hold_->sitesStored()) return true;
        if (batch_) throw pg::GisError(hold_->storedText(out_.storedSites, out_.sites));
        out_.end = RunEnd::Failed;
        msgs_.message(hold_->storedText(out_.storedSites, out_.sites), platform::MessageIcon::Critical);
        return false;
    }

    // A computed site's results into the dataset, in the sites' order;
    // false when the user confirmed Cancel.
    bool commit(gis::SiteItem& item, gis::ComputedSite<Site>& c) {
        if (confirmedCancel_()) {
            out_.end = RunEnd::Cancelled;
            return false;
        }
        // Numbered as committed: a row passed over takes no number.
        Site& site = c.result;
        site.number = out_.sitesDone + 1;
        const std::string of = std::to_string(site.number) + " of " + std::to_string(count_);
        hold_->setTitle("Quor running.." + of);
        hold_->shell().atSite(site.number, count_);
        if (!background_) progress_.setLabel(1, "Processing Point " + of);
        c.play(s_);
        out_.raySeconds += site.raySeconds;
        out_.waveSeconds += site.waveSeconds;
        if (output_->results(item.feature, site)) ++out_.sitesDone;
        if (!background_) progress_.setValue(1, out_.sitesDone);
        hold_->siteCommitted(out_.storedSites);
        return true;
    }

    // The failure that broke the run off, with the site it broke off at.
    void brokenOff(const std::exception& e) {
        out_.end = RunEnd::Failed;
        // The site being read or computed when the run broke off.
        const int at = std::min(out_.sitesDone + 1, out_.sites);
        // A replaced table's reason comes with the count.
        const std::string why = dynamic_cast<const pg::TableReplacedError*>(&e) ? "" : std::string(e.what()) + "\n";
        out_.heldSites = hold_->held(out_.storedSites);
        const std::string stored = hold_->storedText(out_.storedSites, out_.sites);
        msgs_.message(why + "The run stopped at site " + std::to_string(at) + " of " + std::to_string(count_) + "." +
                          (stored.empty() ? "" : " " + stored),
                      platform::MessageIcon::Critical);
    }

    void tellEnd() {
        // Sites that went missing while the run read them leave it unfinished.
        if (out_.end == RunEnd::Completed && out_.sitesDone < out_.sites) out_.end = RunEnd::Failed;
        hold_->toForeground();
        if (!batch_)
            for (const auto& text : runEndReport(out_, points_->name(), ctx_.workingCopy))
                msgs_.message(text, platform::MessageIcon::Critical);
        if (out_.metadataFailed)
            msgs_.message(metadataFailureText(output_->metadataPath(), *out_.metadataFailed),
                          platform::MessageIcon::Exclamation);
        if (!batch_ && background_ && out_.end != RunEnd::Failed && out_.writeErrors == 0 && out_.notFinite == 0)
            msgs_.message(kProcessingDone, platform::MessageIcon::Information);
    }

    WaveRunContext& ctx_;
    gis::RayContext& rc_;
    model::ModelState& s_;
    platform::Messages& msgs_;
    platform::Progress& progress_;
    const std::function<bool()> confirmedCancel_;
    const std::shared_ptr<pg::FeatureClass> points_;
    const int16_t nrays_;
    float tidedepth_;
    const int16_t batchCounter_;
    const bool background_;
    const bool batch_;
    RunOutcome out_;
    std::optional<project::RunLocks> locks_;
    std::optional<project::RunHold> hold_;
    std::optional<RunCleanUp> cleanUp_;
    int n_ = 0;  // rays per site
    DebugFileReporter debug_;
    std::string debugFolder_;
    std::optional<pg::FeatureCursor> cursor_;
    std::int64_t count_ = 0;
    std::optional<SiteOutput> output_;
};

}  // namespace

bool wave_main_cls::confirmedCancel() {
    auto& s = ctx_.rays.state;
    if (ctx_.rays.fm_property.refreshmap == 1) return false;
    ctx_.rays.progress.yield();
    if (!s.cancel_flag) return false;
    if (ctx_.rays.messages.question(kCancelQuestion)) {
        s.cancel_flag = false;
        s.stop_flag = true;
        return true;
    }
    s.cancel_flag = false;
    s.stop_flag = false;
    return false;
}

RunOutcome wave_main_cls::WaveMain(const std::shared_ptr<pg::FeatureClass>& pFeatClass, int16_t /*counterstart*/,
                                   int16_t nrays, float tidedepth, int16_t batch_fieldcounter) {
    try {
        return run(pFeatClass, nrays, tidedepth, batch_fieldcounter);
    } catch (const std::exception& e) {
        // A batch tells the failure in its own log and message.
        if (ctx_.rays.state.batch_mode == 1) throw;
        // GDAL's words alone ("fread(20) failed on DBF file.") would not
        // say that the run failed, nor on which dataset.
        const std::string dataset = pFeatClass ? pFeatClass->name() : std::string();
        ctx_.rays.messages.message(std::string(kCouldNotRun) + "\nThe point dataset " + dataset + ": " + e.what(),
                                   platform::MessageIcon::Critical);
        RunOutcome out;
        out.end = RunEnd::Failed;
        return out;
    }
}

RunOutcome wave_main_cls::run(const std::shared_ptr<pg::FeatureClass>& pFeatClass, int16_t nrays, float tidedepth,
                              int16_t batch_fieldcounter) {
    return RweRun(ctx_, [this] { return confirmedCancel(); }, pFeatClass, nrays, tidedepth, batch_fieldcounter).run();
}

std::string metadataFailureText(const std::string& path, MetadataLeft left) {
    const std::string failed = "The metadata file " + path + " could not be written. The results are not affected. ";
    switch (left) {
        case MetadataLeft::None: break;
        case MetadataLeft::PreviousRun:
            return failed + "The file of that name is the previous run's: it does not describe this run.";
        case MetadataLeft::EarlierSite:
            return failed +
                   "The file of that name was written for an earlier site of this run and could not be removed: it "
                   "does not describe the run's last site.";
    }
    return failed + "There is no metadata file of this name.";
}

std::vector<std::string> runEndReport(const RunOutcome& out, const std::string& pointsName, bool workingCopy) {
    std::vector<std::string> report;
    const std::string others = "; the result fields of the other sites are empty.";
    const std::string have = std::to_string(out.storedSites) + " of " + std::to_string(out.sites) + " sites";
    // What a working copy holds is its caller's to tell.
    const std::string stored = workingCopy ? "" : " " + project::storedResultsText(out.storedSites, out.sites);
    const std::string partly =
        workingCopy || out.partlyStored.empty() ? "" : " " + project::partlyStoredText(out.partlyStored);
    if (out.notFinite > 0)
        report.push_back("The results of " + std::to_string(out.notFinite) +
                         (out.notFinite == 1 ? " site were" : " sites were") +
                         " not finite numbers and were not stored; those sites' result fields are empty. "
                         "Please check the wind file and the model settings.");
    if (out.writeErrors > 0)
        report.push_back("The results of " + std::to_string(out.writeErrors) +
                         (out.writeErrors == 1 ? " site" : " sites") + " could not be written to " + pointsName +
                         " (" + out.writeError + ")." + stored + partly);
    else if (out.end == RunEnd::Failed && out.sitesDone < out.sites)
        report.push_back("Only " + std::to_string(out.sitesDone) + " of " + std::to_string(out.sites) +
                         " sites of " + pointsName + " could be read." + stored);
    else if (out.end == RunEnd::Cancelled)
        report.push_back(workingCopy ? "The run was cancelled."
                                     : "The run was cancelled. " + have + " have results" + others);
    return report;
}

}  // namespace quor::wave
