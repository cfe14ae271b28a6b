#include "wave/wave_main.h"

#include <ogr_spatialref.h>

#include <time.h>
#include <cmath>
#include <exception>

#include "gis/cliprays.h"
#include "gis/createrays.h"
#include "gis/deleterays.h"
#include "gis/selorphans.h"
#include "gis/shorebathy.h"
#include "gis/wave_raydist.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/raster.h"
#include "platform/gis/workspace.h"
#include "platform/numbers.h"
#include "platform/textfile.h"
#include "wave/attached_fetch.h"
#include "wave/bottom_velocity.h"
#include "wave/debug_files.h"
#include "wave/eff_fetch.h"
#include "wave/rwe_results.h"
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

std::string upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string num(double v) {
    if (v == 0) v = 0;  // no "-0"
    return platform::formatNumber(v);
}

// Why a spatial reference cannot carry the run's distances, or nothing.
std::optional<std::string> notMetric(const pg::SpatialReference& sr, const std::string& what) {
    if (sr.isNone()) return "The " + what + " has no spatial reference.";
    if (!sr.isProjected())
        return "The " + what + " is in geographic coordinates (" + sr.name() +
               "); fetches and depths need a projected spatial reference in metres.";
    const double toMetre = sr.ogr()->GetLinearUnits();
    if (std::abs(toMetre - 1) > 1e-9)
        return "The " + what + " is not in metres (" + sr.name() +
               "); fetches and depths need a projected spatial reference in metres.";
    return std::nullopt;
}

// Sets every result of the site to a status code.
void statusInto(model::ModelState& s, double code, double& rwe) {
    rwe = code;
    s.max_wvht = s.avg_wvht = s.max_wvdir = s.max_wvpd = s.avg_wvpd = code;
    s.esa_orbvel = s.esa_shearvel = s.esa_shearstress = code;
    s.lwt_orbvel = s.lwt_shearvel = s.lwt_shearstress = code;
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

std::optional<float> unitFactorOf(const std::string& bathyunits) {
    const std::string u = upper(bathyunits);
    if (u == "METER") return 1.0f;
    if (u == "CENTIMETER") return 100.0f;
    if (u == "FEET") return 3.281f;
    return std::nullopt;
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
    return std::to_string(counter) + " " + r2(rwe) + " " + r2(s.max_wvht) + " " + r2(s.avg_wvht) + " " +
           r2(s.max_wvdir) + " " + r2(s.max_wvpd) + " " + r2(s.avg_wvpd) + " " + num(depth) + " " + s.batch_windname +
           " " + r3(spectral ? s.esa_orbvel : s.lwt_orbvel) + " " + r3(spectral ? s.esa_shearvel : s.lwt_shearvel) +
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
    if (!mf.bathyunits.empty()) {
        const auto f = unitFactorOf(mf.bathyunits);
        if (!f) return "The bathymetry unit \"" + mf.bathyunits + "\" is not one of Meter, Centimeter or Feet.";
        mf.unitfactor = *f;
    }
    if (mf.unitfactor != 1.0f && mf.unitfactor != 100.0f && mf.unitfactor != 3.281f)
        return "The bathymetry unit factor must be 1 (metres), 100 (centimetres) or 3.281 (feet); it is " +
               num(mf.unitfactor) + ".";

    std::shared_ptr<pg::Raster> raster;
    try {
        raster = gis::openBathymetry(mf);
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
    if (auto p = notMetric(bathySr, "bathymetry raster")) return p;
    const pg::SpatialReference pointSr = points.spatialReference();
    if (auto p = notMetric(pointSr, "point dataset " + points.name())) return p;
    if (!pointSr.isSame(bathySr))
        return "The point dataset " + points.name() + " (" + pointSr.name() +
               ") and the bathymetry raster (" + bathySr.name() + ") are in different spatial references.";
    if (s.wv_indexcheck == 0) {
        try {
            rc.shoreline.reset();
            const auto& shore = rc.shore();
            if (auto p = notMetric(shore.spatialReference(), "shoreline")) return p;
            if (!shore.spatialReference().isSame(bathySr))
                return "The shoreline (" + shore.spatialReference().name() + ") and the bathymetry raster (" +
                       bathySr.name() + ") are in different spatial references.";
        } catch (const std::exception& e) {
            return "The shoreline " + mf.shorecov + "/" + mf.shorename + " cannot be used: " + e.what();
        }
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

RunOutcome wave_main_cls::WaveMain(const std::shared_ptr<pg::FeatureClass>& pFeatClass, int16_t /*counterstart*/,
                                   int16_t nrays, float tidedepth, int16_t batch_fieldcounter) {
    auto& rc = ctx_.rays;
    auto& s = rc.state;
    auto& mf = rc.mainform;
    auto& msgs = rc.messages;
    auto& progress = rc.progress;
    model::RunShell noShell;
    model::RunShell& shell = ctx_.shell ? *ctx_.shell : noShell;
    const bool background = rc.fm_property.refreshmap1 == 1;
    const bool batch = s.batch_mode == 1;

    RunOutcome out;
    model::RunLock::Scope lock(s.run_lock);

    // Whatever ends the run, this runs last.
    struct CleanUp {
        wave_main_cls* self;
        gis::RayContext& rc;
        model::RunShell& shell;
        bool background;
        ~CleanUp() {
            auto& st = rc.state;
            const bool nowater = st.err_nowater;
            st.clearErrorFlags();
            st.err_nowater = nowater;
            st.erasePerSiteArrays();
            try {
                // A batch keeps the window for its next wind file.
                if (st.batch_mode != 1) rc.progress.hide();
            } catch (...) {
            }
            rc.workspace.reset();
            try {
                gis::deleteWorkClasses(rc.mainform.ptworkspace);
            } catch (...) {
            }
            try {
                if (background) shell.setMinimised(false);
                shell.setTitle("Quor");
                shell.runEnded();
                shell.redraw();
            } catch (...) {
            }
        }
    } cleanUp{this, rc, shell, background};

    if (s.Eps > 1) s.Eps = 1 / s.Eps;
    if (!batch) tidedepth = -s.water_level;
    shell.runStarted();
    if (!pFeatClass) {
        msgs.message(kCouldNotRun, platform::MessageIcon::Critical);
        return out;
    }
    mf.pointfeatclass = pFeatClass->name();

    if (auto problem = startProblem(*pFeatClass)) {
        msgs.message(*problem, platform::MessageIcon::Critical);
        out.end = RunEnd::Refused;
        return out;
    }

    if (add_rwe_fields(s, mf, *pFeatClass, msgs)) {
        out.end = RunEnd::Declined;
        return out;
    }

    auto cursor = pFeatClass->search();
    const std::int64_t count = static_cast<std::int64_t>(cursor.remaining());
    if (background) {
        shell.setMinimised(true);
    } else {
        progress.show();
        progress.setMaximum(1, 100);
    }
    const int n = rayCountOf(nrays);

    DebugFileReporter debug(msgs);
    wave_wind_cls(s, mf, rc.winddata, msgs, debug).wavewind(static_cast<int16_t>(n));
    if (s.err_wind == 1) {
        msgs.message(kCouldNotRun, platform::MessageIcon::Critical);
        return out;
    }

    // The sites' work classes live in memory: they never reach the project file.
    rc.workspace = pg::Workspace::createMemory("rwe-work");
    const auto work = rc.workspace;
    RasterDepthSampler sampler(s.bathy_raster);
    const std::string debugFolder = debugOutputFolder(s.app_folder);
    const std::string metadataPath = rweMetadataPath(ctx_.shpdir, ctx_.shpname1);
    RweMetadataInputs meta;
    meta.bathyunits = mf.bathyunits;
    meta.windPath = mf.windpath;
    meta.rays = n;

    // One small transaction per site: synced at checkpoints, not at every commit.
    pg::Workspace::QuickCommits quick(*pFeatClass->workspace());
    s.avg_wvht = 0;
    s.avg_wvpd = 0;
    int i = 1;
    out.end = RunEnd::Completed;
    while (auto feature = cursor.next()) {
        if (rc.fm_property.refreshmap != 1) {
            progress.yield();
            if (s.cancel_flag) {
                if (msgs.question(kCancelQuestion)) {
                    s.cancel_flag = false;
                    s.stop_flag = true;
                    out.end = RunEnd::Cancelled;
                    break;
                }
                s.cancel_flag = false;
                s.stop_flag = false;
            }
        }
        const std::string of = std::to_string(i) + " of " + std::to_string(count);
        shell.setTitle("Quor running.." + of);
        if (!background) {
            progress.setValue(1, 0);
            progress.setLabel(1, "Processing Point " + of);
        }

        // A flag a stage left for an earlier site never marks this one.
        clearStageFlags(s);
        s.max_wvht = s.avg_wvht = s.max_wvdir = s.max_wvpd = s.avg_wvpd = 0;
        s.pt_depth = static_cast<float>(model::pt_status::no_data);
        double depth = 0;
        double rwe = 0;
        bool failed = false;
        auto fail = [&](double code) {
            statusInto(s, code, rwe);
            failed = true;
        };

        auto t0 = Clock::now();
        {
            gis::RaySite site(rc);
            pg::Point point{};
            bool located = false;
            try {
                point = feature->shape().asPoint();
                located = true;
            } catch (const std::exception&) {
                // No point to cast a fan from (a site without a shape).
                fail(model::pt_status::rays_failed);
            }
            if (located) {
                try {
                    const pg::PixelValue v = s.bathy_raster->identify(point);
                    if (v.hasValue() && (s.bathy_positive == 0 || s.bathy_positive == 1)) {
                        depth = siteDepth(v.value, s.bathy_positive, tidedepth, mf.unitfactor);
                        s.pt_depth = static_cast<float>(platform::roundHalfEven(v.value, 2));
                    } else if (!v.isOutside()) {
                        fail(model::pt_status::no_data);
                    }
                } catch (const std::exception&) {
                    fail(model::pt_status::no_data);
                }
            }

            std::shared_ptr<pg::FeatureClass> eff;
            if (!failed) {
                s.err_rays = 0;
                std::shared_ptr<pg::FeatureClass> rays;
                try {
                    rays = gis::wave_createrays_cls(rc).WaveCreaterays(point, work, mf.projname, i, n);
                } catch (const std::exception&) {
                    s.err_rays = 1;
                }
                if (s.err_rays == 1 || !rays) {
                    fail(model::pt_status::rays_failed);
                } else if (s.wv_indexcheck != 0) {
                    try {
                        eff = gis::wave_raydist_cls(rc).wave_raydist(n, point, tidedepth, rays);
                    } catch (const std::exception&) {
                        s.err_fetch = 1;
                    }
                    if (s.err_nowater == 1) {
                        s.err_nowater = 0;
                        rwe = 0;
                        s.max_wvht = s.avg_wvht = s.max_wvpd = s.avg_wvpd = 0;
                        s.esa_orbvel = s.esa_shearvel = s.esa_shearstress = 0;
                        s.max_wvdir = model::pt_status::no_water_direction;
                        eff.reset();
                    } else if (s.err_fetch == 1 || !eff) {
                        fail(model::pt_status::fast_failed);
                        eff.reset();
                    }
                } else if (rc.fm_property.refreshmap == 1) {
                    // Nothing is drawn: the attached pieces come straight from the shoreline.
                    const AttachedFetch direct = attachedEffectiveFetch(rc, rays, n, point);
                    if (direct.eff)
                        eff = direct.eff;
                    else
                        fail(direct.status);
                } else {
                    std::shared_ptr<pg::FeatureClass> pieces;
                    try {
                        pieces = gis::wave_cliprays_cls(rc).cliprays(mf.projname, rays);
                    } catch (const std::exception&) {
                        s.err_clip = 1;
                    }
                    std::shared_ptr<pg::FeatureClass> kept;
                    if (s.err_clip != 1 && pieces) {
                        try {
                            auto orp = gis::createRayWorkClass(rc, work, "orp_rays");
                            kept = gis::wave_selorphan_cls(rc).selorphans(point, pieces, work, orp);
                        } catch (const std::exception&) {
                            kept.reset();
                        }
                    }
                    // No piece attached to the site: the shoreline puts it on land.
                    if (!kept || kept->featureCount() == 0) {
                        fail(model::pt_status::clip_failed);
                    } else {
                        try {
                            eff = wave_effFetch_cls(s, mf, rc.map, msgs).effFetch(kept, static_cast<int16_t>(n), point);
                        } catch (const std::exception&) {
                            s.err_fetch = 1;
                        }
                        if (s.err_fetch == 1 || !eff) {
                            fail(model::pt_status::fetch_failed);
                            eff.reset();
                        }
                    }
                }
            }
            out.raySeconds += seconds(t0);

            if (eff) {
                auto t1 = Clock::now();
                WaveSiteContext wctx{StageContext{s, sampler, mf.unitfactor, msgs, debug}, rc.fm_property, progress,
                                     rasterAverageDepth(s, mf)};
                wave_first_cls(wctx).waveht(static_cast<int16_t>(n), *eff, tidedepth);
                if (s.err_waveht == 1) {
                    fail(s.err_second != 1   ? model::pt_status::wave_failed
                         : s.err_third == 1 ? model::pt_status::both_stages_failed
                                            : model::pt_status::first_stage_failed);
                } else {
                    rwe = rweSum(s, n);
                    if (debugOutputEnabled(s))
                        debug.writeArray(debugFolder + "/RWE.txt", kWindFileTitle,
                                         std::span<const double>(s.energyarray.begin(), s.energyarray.begin() + n));
                    if (s.max_wvht == 0) {
                        s.max_wvdir = model::pt_status::no_data;
                        s.max_wvpd = 0;
                        s.avg_wvpd = 0;
                    } else {
                        s.max_wvdir = s.max_wvdir * 360 / n;
                    }
                    if (rc.fm_property.refreshmap != 1) shell.redraw();
                    if (s.orbvel_on == 1) {
                        bottom_velocity_cls bv(s);
                        if (s.velocity_method == 0)
                            bv.bottom_velocity(s.avg_wvht, static_cast<float>(s.avg_wvpd), static_cast<float>(depth));
                        else
                            bv.bottom_velocity_spectra(s.avg_wvht, static_cast<float>(s.avg_wvpd),
                                                       static_cast<float>(depth));
                    }
                }
                out.waveSeconds += seconds(t1);
            }
        }  // the site's layers and work classes are gone

        auto t2 = Clock::now();
        if (batch) {
            const std::string line = batchLogLine(s, batch_fieldcounter, rwe, depth);
            if (ctx_.batchLog) {
                ctx_.batchLog(line);
            } else {
                try {
                    platform::TextWriter w(debugFolder + "/batch.txt", true);
                    w.writeLine(line);
                    w.close();
                } catch (const std::exception&) {
                    ++out.writeErrors;
                }
            }
        } else {
            RweSiteResult r{rwe, s.max_wvht, s.avg_wvht, s.max_wvdir, s.avg_wvpd, s.max_wvpd, failed};
            try {
                write_rwe_results(*pFeatClass, *feature, s, r);
            } catch (const std::exception&) {
                ++out.writeErrors;
            }
            if (!out.metadataFailed) {
                meta.createdOn = ctx_.clock ? ctx_.clock() : currentDateTimeText();
                try {
                    writeRweMetadata(metadataPath, rweMetadataLines(s, mf, meta));
                } catch (const std::exception&) {
                    out.metadataFailed = true;
                }
            }
            progress.setValue(1, 100);
        }
        out.writeSeconds += seconds(t2);
        ++out.sitesDone;
        ++i;
        s.erasePerSiteArrays();
    }

    if (out.writeErrors > 0)
        msgs.message("The results of " + std::to_string(out.writeErrors) + " of " + std::to_string(out.sitesDone) +
                         " sites could not be written to " + pFeatClass->name() +
                         ". Those sites keep their former values.",
                     platform::MessageIcon::Critical);
    if (out.metadataFailed)
        msgs.message("The metadata file " + metadataPath + " could not be written. The results are not affected.",
                     platform::MessageIcon::Exclamation);
    if (!batch && background && out.writeErrors == 0)
        msgs.message(kProcessingDone, platform::MessageIcon::Information);
    return out;
}

}  // namespace quor::wave
