#include "rei/rei_run.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <variant>
#include <vector>

#include "gis/attached_pieces.h"
#include "gis/createrays.h"
#include "gis/input_references.h"
#include "gis/ray_site.h"
#include "gis/shorebathy.h"
#include "gis/site_run.h"
#include "model/setting_checks.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/raster.h"
#include "platform/gis/workspace.h"
#include "platform/numbers.h"
#include "project/run_hold.h"
#include "project/run_sites.h"
#include "rei/rei_fields.h"
#include "rei/rei_index.h"
#include "rei/run_messages.h"

namespace quor::rei {

namespace {

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

// A refusal before anything is touched: the reason for the user.
struct Refusal {
    std::string text;
};

// The site's feature as the index step writes it; stored in the dataset.
class FeatureFields final : public SiteFields {
public:
    FeatureFields(pg::FeatureClass& fc, pg::Feature& f) : fc_(fc), f_(f) {}
    int findField(const std::string& name) const override { return f_.findField(name); }
    void putValue(int position, double value) override { f_.setValue(position, value); }
    // Each site is committed on its own: a crash loses at most the site in progress.
    void store() override { store(nullptr); }
    void store(const pg::SpeltRow* ahead) {
        pg::Workspace::Transaction tx(*fc_.workspace());
        fc_.store(f_, ahead);
        tx.commit();
    }

private:
    pg::FeatureClass& fc_;
    pg::Feature& f_;
};

// The model's own state after a run, whatever ended it; what the run held
// goes back after this.
class RunCleanUp {
public:
    explicit RunCleanUp(ReiRunContext& ctx) : ctx_(ctx) {}
    ~RunCleanUp() {
        ctx_.progress.hide();
        // The run cannot be cancelled: a request made while it went on is void.
        ctx_.state.cancel_flag = false;
    }
    RunCleanUp(const RunCleanUp&) = delete;
    RunCleanUp& operator=(const RunCleanUp&) = delete;

private:
    ReiRunContext& ctx_;
};

// A site that cannot be computed, or whose values are not finite, holds
// no values: on a re-run its fields must not keep the earlier run's.
void clearSiteResults(pg::FeatureClass& fc, pg::Feature& f, const std::vector<std::string>& names) {
    bool held = false;
    for (const auto& name : names) {
        const int pos = f.findField(name);
        if (pos < 2 || pg::isNull(f.value(pos))) continue;
        f.setValue(pos, std::monostate{});
        held = true;
    }
    if (!held) return;
    pg::Workspace::Transaction tx(*fc.workspace());
    fc.store(f);
    tx.commit();
}

// The site's rays cast, clipped or walked, and profiled into the ray
// arrays; the steps report their own failures.
void castSiteRays(gis::RayContext& rays, const pg::Point& spoint, std::int64_t i,
                  const std::shared_ptr<pg::Raster>& raster, bool direct) {
    gis::RaySite site(rays);
    if (direct)  // nothing is drawn: the pieces come straight from the shoreline
        gis::profileAttachedRays(rays, spoint, rays.workspace, raster);
    else
        gis::createrays_cls(rays).createrays(spoint, rays.workspace, rays.mainform.projname,
                                             static_cast<int>(std::min<std::int64_t>(i, INT32_MAX)), raster);
}

// The run keeps the window's thread until it ends, so the window is
// repainted for it before and after every site's commit.
void showProgress(ReiRunContext& ctx) {
    if (ctx.shell) ctx.shell->repaintWithoutInput();
}

bool reachesWater(const model::ModelState& st) {
    for (int k = 0; k < 32; ++k)
        if (st.ray_fetch(k) > 0) return true;
    return false;
}

enum class SiteEnd { Written, Skipped, Failed, NotFinite };

void count(ReiRunOutcome& out, SiteEnd end) {
    switch (end) {
        case SiteEnd::Written: ++out.written; break;
        case SiteEnd::Skipped: ++out.skipped; break;
        case SiteEnd::Failed: ++out.failed; break;
        case SiteEnd::NotFinite: ++out.notFinite; break;
    }
}

// The site's number in the caption and, unless in the background, in the progress window.
void showSite(ReiRunContext& ctx, project::RunHold& hold, std::int64_t i, std::int64_t total, bool background) {
    const std::string of = std::to_string(i) + " of " + std::to_string(total);
    hold.setTitle("Quor running.." + of);
    hold.shell().atSite(i, total);
    if (!background) ctx.progress.setLabel(1, "Processing Point " + of);
    showProgress(ctx);
}

// The index values a computation puts into the site's fields, kept for
// its commit.
class KeptFields final : public SiteFields {
public:
    explicit KeptFields(std::shared_ptr<const pg::Fields> fields) : fields_(std::move(fields)) {}
    int findField(const std::string& name) const override { return fields_->findField(name); }
    void putValue(int position, double value) override { values_.emplace_back(position, value); }
    void store() override { stored_ = true; }

    // Puts the values into the feature and stores it, if the computation
    // did; its row as `ahead` spelt it, when it holds these values.
    void storeInto(pg::FeatureClass& fc, pg::Feature& f, const pg::SpeltRow* ahead) const {
        if (!stored_) return;
        FeatureFields site(fc, f);
        for (const auto& [pos, value] : values_) site.putValue(pos, value);
        site.store(ahead);
    }
    // The row of a shapefile holding the values, spelt on this thread;
    // whatever fails here is the commit's to tell.
    std::optional<pg::SpeltRow> spell(pg::RowsAhead::Speller& speller) const {
        if (!stored_) return std::nullopt;
        try {
            pg::Feature f(fields_);
            for (const auto& [pos, value] : values_) f.setValue(pos, value);
            return speller.spell(pg::valuesToStore(f));
        } catch (const pg::GisError&) {
            return std::nullopt;
        }
    }

private:
    std::shared_ptr<const pg::Fields> fields_;
    std::vector<std::pair<int, double>> values_;
    bool stored_ = false;
};

// What a site's computation hands on to its commit.
struct SiteValues {
    SiteEnd end = SiteEnd::Failed;
    std::optional<KeptFields> fields;
    std::optional<pg::SpeltRow> row;  // the site's row, spelt on its worker
};

// One site on a worker's context: its rays, then its index values.
SiteEnd computeSite(gis::SiteWorker& worker, KeptFields& fields, const gis::SiteItem& item, bool fast) {
    if (!item.point) return SiteEnd::Skipped;
    gis::RayContext& rays = worker.rays();
    const auto& raster = rays.state.bathy_raster;
    const pg::Point spoint = *item.point;
    if (raster->identify(spoint).kind != pg::PixelValue::Kind::Value) return SiteEnd::Failed;
    const std::size_t reported = worker.feedback().told();
    // A run that draws nothing needs no work classes for its clip.
    castSiteRays(rays, spoint, item.number, raster, !fast && !rays.raysAsClasses());
    // The ray steps told the user why they failed; a site none of whose
    // rays reaches water is not in the water. Either way its fields stay
    // empty rather than read as fully sheltered.
    if (worker.feedback().told() != reported || !reachesWater(rays.state)) {
        resetRayArrays(rays.state);
        return SiteEnd::Failed;
    }
    ReiIndexContext ictx{rays.state, rays.mainform, rays.winddata, rays.progress};
    return (fast ? REIindex_dir(fields, ictx) : REIindex(fields, ictx)) ? SiteEnd::Written : SiteEnd::NotFinite;
}

// The run's bathymetry, refused when it cannot be read or has no valid cell.
std::shared_ptr<pg::Raster> openRunRaster(const model::MainFormState& mf) {
    std::shared_ptr<pg::Raster> raster;
    try {
        raster = gis::openBathymetry(mf);
    } catch (const std::exception& e) {
        throw Refusal{std::string("The bathymetry raster cannot be opened: ") + e.what()};
    }
    const std::string noDepth = "The bathymetry raster " + mf.bathycov + " holds no valid depth (every cell is NoData).";
    try {
        const auto mm = raster->minMax();
        if (!std::isfinite(mm.first) || !std::isfinite(mm.second)) throw Refusal{noDepth};
    } catch (const pg::GisError&) {
        throw Refusal{noDepth};
    }
    return raster;
}

void checkInputs(ReiRunContext& ctx, gis::RayContext& rays, const pg::FeatureClass& fc, bool fast) {
    const auto& mf = ctx.mainform;
    if (auto problem = model::fetchProblem(mf.Fetch)) throw Refusal{*problem};
    if (auto problem = model::bathyDistanceProblem(mf.dist_bathy)) throw Refusal{*problem};
    if (!mf.ptworkspace) throw Refusal{"No project geodatabase is open to cast the rays in."};
    if (!fast) {
        if (mf.shorename.empty()) throw Refusal{kNoShoreline};
        try {
            rays.shoreline.reset();
            rays.shore();
        } catch (const std::exception& e) {
            throw Refusal{"The shoreline " + mf.shorename + " cannot be used: " + e.what()};
        }
    }
    if (auto problem = reiFieldProblem(fc, fast, mf.fetchlength == 1)) throw Refusal{*problem};
    // Read whole before anything is written: a table cut short would take
    // the first sites' values and then break the run off.
    if (auto problem = project::sitesNotWhole(fc)) throw Refusal{std::string(kCouldNotRun) + "\n" + *problem};
}

// The bathymetry in metres, and the sites and the shoreline that clips
// their rays in its coordinates.
void checkReferences(const pg::FeatureClass& fc, gis::RayContext& rays, const pg::Raster& raster, bool fast) {
    const auto& mf = rays.mainform;
    const pg::SpatialReference bathymetry = raster.spatialReference();
    if (auto problem = gis::bathymetryReferenceProblem(bathymetry, mf.bathycov)) throw Refusal{*problem};
    if (auto problem = gis::sitesReferenceProblem(fc.spatialReference(), fc.name(), bathymetry))
        throw Refusal{*problem};
    if (fast) return;
    if (auto problem = gis::shorelineReferenceProblem(rays.shore().spatialReference(), mf.shorename, bathymetry))
        throw Refusal{*problem};
}

}  // namespace

float reiUnitFactor(const std::string& bathyunits) {
    const std::string u = upper(bathyunits);
    if (u == "CENTIMETER") return 100.0f;
    if (u == "FEET") return 3.281f;
    return 1.0f;
}

ReiRunOutcome runmodel(ReiRunContext& ctx, const std::shared_ptr<pg::FeatureClass>& fc, std::int16_t) {
    ReiRunOutcome out;
    RunMessages messages(ctx.messages);
    gis::RayContext rays{ctx.state, ctx.fm_property, ctx.mainform, ctx.winddata, ctx.map, messages, ctx.progress};
    rays.mapSeen = ctx.mapSeen;
    // The dialog that started the run and every other window close first.
    if (ctx.shell) ctx.shell->unloadAllForms();
    rays.drawSiteSquare = ctx.drawSiteSquare;
    // Taken here, however the run was started.
    std::optional<project::RunLocks> locks;
    if (fc) {
        locks.emplace(&ctx.state.run_lock, ctx.mainform.projfile, ctx.mainform.projname, *fc);
        if (locks->admit(ctx.messages, &ctx.state.unguarded_run_told)) {
            out.end = ReiRunEnd::Refused;
            return out;
        }
    }
    project::RunHold hold(ctx.state.run_lock, ctx.shell);
    RunCleanUp cleanUp(ctx);
    hold.writeInto(fc);
    bool sitesBegun = false;
    try {
        if (!fc) throw Refusal{"No point dataset was given to run the model on."};
        ctx.mainform.unitfactor =
            reiUnitFactor(ctx.bathyunits.empty() ? ctx.mainform.bathyunits : ctx.bathyunits);
        ctx.mainform.pointfeatclass = fc->name();
        const bool fast = ctx.fm_property.indexcheck == 1;
        checkInputs(ctx, rays, *fc, fast);
        // An earlier run's raster goes first, with the blocks it decoded.
        ctx.state.bathy_raster.reset();
        auto raster = openRunRaster(ctx.mainform);
        checkReferences(*fc, rays, *raster, fast);
        // The wind climate is read afresh, so the powers follow the current categories.
        if (!ctx.reloadWind) throw Refusal{"The wind data of the project cannot be read for this run."};
        if (!ctx.reloadWind(messages)) {
            out.end = ReiRunEnd::Refused;
            return out;
        }

        const bool rayLengths = ctx.mainform.fetchlength == 1;
        const std::vector<std::string> resultFields = reiFieldNames(fast, rayLengths);
        const FieldsResult fields = fast ? addREIfields_dir(*fc, rayLengths, messages)
                                         : addREIfields(*fc, rayLengths, messages);
        if (fields == FieldsResult::Declined) {
            out.end = ReiRunEnd::Declined;
            return out;
        }
        const bool background = ctx.fm_property.refreshmap != 0;
        ctx.state.bathy_raster = raster;
        out.sites = fc->featureCount();
        if (!background) {
            ctx.progress.show();
            // The bar counts the sites stored, as the title does.
            ctx.progress.setMaximum(1, static_cast<int>(out.sites));
            ctx.progress.setValue(1, 0);
        } else {
            hold.toBackground();
        }
        // Nothing of a run that broke off may reach the first site.
        resetRayArrays(ctx.state);

        // A window that shows the sites as they come reads them from the
        // file: each is committed on its own there.
        hold.storeSitesQuickly(background || !ctx.map.viewed());
        sitesBegun = true;
        bool stopped = false;
        {
            auto cursor = fc->search();
            std::int64_t committed = 0;
            // With workers, each spells its sites' rows, so that their
            // commit only puts the bytes in place.
            std::vector<pg::RowsAhead::Speller> spellers;
            gis::SiteRun<SiteValues> sites(rays, gis::SiteArrays::Kept,
                                           [&spellers, fields = fc->fields(), fast](gis::SiteWorker& w, int i,
                                                                                    const gis::SiteItem& item,
                                                                                    SiteValues& v) {
                                               v.fields.emplace(fields);
                                               v.end = computeSite(w, *v.fields, item, fast);
                                               if (v.end == SiteEnd::Written && !spellers.empty())
                                                   v.row = v.fields->spell(spellers[static_cast<std::size_t>(i)]);
                                           });
            if (sites.threads() > 1)
                for (int k = 0; k < sites.threads(); ++k) spellers.emplace_back(fc->rowsAhead());
            out.threads = sites.threads();
            sites.run(cursor, [&](gis::SiteItem& item, gis::ComputedSite<SiteValues>& c) {
                if (ctx.stopRequested && ctx.stopRequested()) {
                    stopped = true;
                    return false;
                }
                // Numbered as committed: a row passed over takes no number.
                showSite(ctx, hold, committed + 1, out.sites, background);
                c.play(ctx.state);
                const SiteEnd end = c.result.end;
                try {
                    if (end == SiteEnd::Written)
                        c.result.fields->storeInto(*fc, item.feature, c.result.row ? &*c.result.row : nullptr);
                    else
                        clearSiteResults(*fc, item.feature, resultFields);
                } catch (const pg::PartlyStoredError& e) {
                    throw pg::PartlyStoredError(std::string(e.what()) + "\n" + project::partlyStoredText({committed + 1}));
                } catch (const std::exception&) {
                    if (!gis::deletedSinceRead(*fc, item.feature)) throw;
                    return true;
                }
                count(out, end);
                ++committed;
                if (!background) ctx.progress.setValue(1, static_cast<int>(committed));
                hold.siteCommitted(out.written);
                showProgress(ctx);
                return true;
            });
        }
        out.held = hold.held(out.written);
        if (!hold.sitesStored()) {
            ctx.progress.hide();
            messages.message(std::string(kCouldNotRun) + "\n" + hold.storedText(out.written, out.sites),
                             platform::MessageIcon::Critical);
            out.end = ReiRunEnd::Failed;
            return out;
        }
        if (stopped) {
            ctx.progress.hide();
            messages.message(std::string(kRunStopped) + " " + hold.storedText(out.written, out.sites),
                             platform::MessageIcon::Exclamation);
            out.end = ReiRunEnd::Stopped;
            return out;
        }
        hold.toForeground();
        if (background) ctx.messages.message(kProcessingDone, platform::MessageIcon::Information);
        const std::int64_t missed = out.failed + out.skipped;
        if (missed > 0)
            ctx.messages.message(std::to_string(missed) + " of " + std::to_string(out.sites) +
                                     " sites could not be processed",
                                 platform::MessageIcon::Exclamation);
        if (out.notFinite > 0)
            ctx.messages.message(std::to_string(out.notFinite) + " of " + std::to_string(out.sites) +
                                     " sites gave a value that is not a finite number; their REI fields were left "
                                     "empty.",
                                 platform::MessageIcon::Exclamation);
        out.end = ReiRunEnd::Completed;
    } catch (const Refusal& r) {
        messages.message(r.text, r.text == kNoShoreline ? platform::MessageIcon::Critical
                                                        : platform::MessageIcon::Exclamation);
        out.end = ReiRunEnd::Refused;
    } catch (const std::exception& e) {
        ctx.progress.hide();
        // A replaced table's reason comes with the count.
        std::string text = std::string(kCouldNotRun);
        if (!sitesBegun || !dynamic_cast<const pg::TableReplacedError*>(&e)) text += "\n" + std::string(e.what());
        if (sitesBegun) {
            text += "\n" + hold.storedText(out.written, out.sites);
            out.held = hold.held(out.written);
        }
        messages.message(text, platform::MessageIcon::Critical);
        out.end = ReiRunEnd::Failed;
    }
    return out;
}

}  // namespace quor::rei
