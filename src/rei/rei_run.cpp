#include "rei/rei_run.h"

#include <algorithm>
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
#include "model/bathy_units.h"
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
    // Read whole before anything is written, and before any field is
    // looked at: a table cut short would take the first sites' values and
    // then break the run off, and a damaged one cannot tell its fields.
    if (auto problem = project::sitesNotWhole(fc, ctx.sitesMayBeNone))
        throw Refusal{std::string(kCouldNotRun) + "\n" + *problem};
    if (auto problem = reiFieldProblem(fc, fast, mf.fetchlength == 1)) throw Refusal{*problem};
}

// The bathymetry in metres, and the sites and the shoreline that clips
// their rays in its coordinates.
void checkReferences(const pg::FeatureClass& fc, gis::RayContext& rays, const pg::Raster& raster, bool fast) {
    const auto& mf = rays.mainform;
    const pg::SpatialReference bathymetry = raster.spatialReference();
    if (auto problem = gis::bathymetryReferenceProblem(raster, mf.bathycov)) throw Refusal{*problem};
    if (auto problem = gis::sitesReferenceProblem(fc.spatialReference(), fc.name(), bathymetry))
        throw Refusal{*problem};
    if (fast) return;
    if (auto problem = gis::shorelineReferenceProblem(rays.shore().spatialReference(), mf.shorename, bathymetry))
        throw Refusal{*problem};
}

// One run over the sites, as the list of its steps. What the run holds
// for its length (the locks, the hold on the dataset, the clean-up) goes
// in the reverse order it was taken, however it ends.
class ReiRun {
public:
    ReiRun(ReiRunContext& ctx, std::shared_ptr<pg::FeatureClass> fc)
        : ctx_(ctx), fc_(std::move(fc)), messages_(ctx.messages),
          rays_{ctx.state, ctx.fm_property, ctx.mainform, ctx.winddata, ctx.map, messages_, ctx.progress} {
        rays_.mapSeen = ctx.mapSeen;
    }

    ReiRunOutcome run() {
        // The dialog that started the run and every other window close first.
        if (ctx_.shell) ctx_.shell->unloadAllForms();
        rays_.drawSiteSquare = ctx_.drawSiteSquare;
        if (!admitted()) return out_;
        hold_.emplace(ctx_.state.run_lock, ctx_.shell);
        cleanUp_.emplace(ctx_);
        hold_->writeInto(fc_, ctx_.workingCopy);
        try {
            steps();
        } catch (const Refusal& r) {
            messages_.message(r.text, r.text == kNoShoreline ? platform::MessageIcon::Critical
                                                             : platform::MessageIcon::Exclamation);
            out_.end = ReiRunEnd::Refused;
        } catch (const std::exception& e) {
            failed(e);
        }
        return out_;
    }

private:
    // The run from its checks to its end; run() tells what breaks it off.
    void steps() {
        const std::shared_ptr<pg::Raster> raster = started();
        if (!raster || !fieldsAdded()) return;
        beginSites(raster);
        computeSites();
        if (sitesKept()) completed();
    }

    // Taken here, however the run was started.
    bool admitted() {
        if (!fc_) return true;
        locks_.emplace(&ctx_.state.run_lock, ctx_.mainform.projfile, ctx_.mainform.projname, *fc_);
        if (!locks_->admit(ctx_.messages, &ctx_.state.unguarded_run_told)) return true;
        out_.end = ReiRunEnd::Refused;
        return false;
    }

    // Everything that would make the results wrong, refused before the
    // dataset is touched; the run's bathymetry, or nothing when the wind
    // cannot be read, told.
    std::shared_ptr<pg::Raster> started() {
        if (!fc_) throw Refusal{"No point dataset was given to run the model on."};
        ctx_.mainform.unitfactor = model::unitFactorOf(ctx_.bathyunits.empty() ? ctx_.mainform.bathyunits : ctx_.bathyunits);
        ctx_.mainform.pointfeatclass = fc_->name();
        fast_ = ctx_.fm_property.indexcheck == 1;
        checkInputs(ctx_, rays_, *fc_, fast_);
        // An earlier run's raster goes first, with the blocks it decoded.
        ctx_.state.bathy_raster.reset();
        auto raster = openRunRaster(ctx_.mainform);
        checkReferences(*fc_, rays_, *raster, fast_);
        // The wind climate is read afresh, so the powers follow the current categories.
        if (!ctx_.reloadWind) throw Refusal{"The wind data of the project cannot be read for this run."};
        if (ctx_.reloadWind(messages_)) return raster;
        out_.end = ReiRunEnd::Refused;
        return nullptr;
    }

    // The result fields, added or emptied; false when the user keeps the
    // values there.
    bool fieldsAdded() {
        const bool rayLengths = ctx_.mainform.fetchlength == 1;
        resultFields_ = reiFieldNames(fast_, rayLengths);
        const FieldsResult fields =
            fast_ ? addREIfields_dir(*fc_, rayLengths, messages_) : addREIfields(*fc_, rayLengths, messages_);
        if (fields != FieldsResult::Declined) return true;
        out_.end = ReiRunEnd::Declined;
        return false;
    }

    void beginSites(const std::shared_ptr<pg::Raster>& raster) {
        background_ = ctx_.fm_property.refreshmap != 0;
        ctx_.state.bathy_raster = raster;
        out_.sites = fc_->featureCount();
        if (!background_) {
            ctx_.progress.show();
            // The bar counts the sites stored, as the title does.
            ctx_.progress.setMaximum(1, static_cast<int>(out_.sites));
            ctx_.progress.setValue(1, 0);
        } else {
            hold_->toBackground();
        }
        // Nothing of a run that broke off may reach the first site.
        resetRayArrays(ctx_.state);
        // A window that shows the sites as they come reads them from the
        // file: each is committed on its own there.
        hold_->storeSitesQuickly(background_ || !ctx_.map.viewed());
        sitesBegun_ = true;
    }

    void computeSites() {
        auto cursor = fc_->search();
        // With workers, each spells its sites' rows, so that their
        // commit only puts the bytes in place.
        std::vector<pg::RowsAhead::Speller> spellers;
        gis::SiteRun<SiteValues> sites(rays_, gis::SiteArrays::Kept,
                                       [&spellers, fields = fc_->fields(), fast = fast_](
                                           gis::SiteWorker& w, int i, const gis::SiteItem& item, SiteValues& v) {
                                           v.fields.emplace(fields);
                                           v.end = computeSite(w, *v.fields, item, fast);
                                           if (v.end == SiteEnd::Written && !spellers.empty())
                                               v.row = v.fields->spell(spellers[static_cast<std::size_t>(i)]);
                                       });
        if (sites.threads() > 1)
            for (int k = 0; k < sites.threads(); ++k) spellers.emplace_back(fc_->rowsAhead());
        out_.threads = sites.threads();
        sites.run(cursor, [this](gis::SiteItem& item, gis::ComputedSite<SiteValues>& c) { return commit(item, c); });
    }

    // A computed site's values into the dataset, in the sites' order;
    // false when a stop was requested.
    bool commit(gis::SiteItem& item, gis::ComputedSite<SiteValues>& c) {
        if (ctx_.stopRequested && ctx_.stopRequested()) {
            stopped_ = true;
            return false;
        }
        // Numbered as committed: a row passed over takes no number.
        showSite(ctx_, *hold_, committed_ + 1, out_.sites, background_);
        c.play(ctx_.state);
        const SiteEnd end = c.result.end;
        try {
            if (end == SiteEnd::Written)
                c.result.fields->storeInto(*fc_, item.feature, c.result.row ? &*c.result.row : nullptr);
            else
                clearSiteResults(*fc_, item.feature, resultFields_);
        } catch (const pg::PartlyStoredError& e) {
            throw pg::PartlyStoredError(std::string(e.what()) + "\n" + project::partlyStoredText({committed_ + 1}));
        } catch (const std::exception&) {
            if (!gis::deletedSinceRead(*fc_, item.feature)) throw;
            return true;
        }
        count(out_, end);
        ++committed_;
        if (!background_) ctx_.progress.setValue(1, static_cast<int>(committed_));
        hold_->siteCommitted(out_.written);
        showProgress(ctx_);
        return true;
    }

    // Whether the dataset holds what the run stored and the run went to
    // its last site; when not, the run's end is told.
    bool sitesKept() {
        out_.held = hold_->held(out_.written);
        if (!hold_->sitesStored()) {
            ctx_.progress.hide();
            messages_.message(std::string(kCouldNotRun) + "\n" + hold_->storedText(out_.written, out_.sites),
                              platform::MessageIcon::Critical);
            out_.end = ReiRunEnd::Failed;
            return false;
        }
        if (stopped_) {
            ctx_.progress.hide();
            const std::string stored = hold_->storedText(out_.written, out_.sites);
            messages_.message(std::string(kRunStopped) + (stored.empty() ? "" : " " + stored),
                              platform::MessageIcon::Exclamation);
            out_.end = ReiRunEnd::Stopped;
            return false;
        }
        return true;
    }

    // The sites that could not be processed, or whose values were no numbers.
    void completed() {
        hold_->toForeground();
        // Its closing marks the end: what is told after it is not shown
        // over a Processing window that still says it is working.
        if (!background_) ctx_.progress.hide();
        if (background_) ctx_.messages.message(kProcessingDone, platform::MessageIcon::Information);
        const std::int64_t missed = out_.failed + out_.skipped;
        if (missed > 0)
            ctx_.messages.message(std::to_string(missed) + " of " + std::to_string(out_.sites) +
                                      " sites could not be processed",
                                  platform::MessageIcon::Exclamation);
        if (out_.notFinite > 0)
            ctx_.messages.message(std::to_string(out_.notFinite) + " of " + std::to_string(out_.sites) +
                                      " sites gave a value that is not a finite number; their REI fields were left "
                                      "empty.",
                                  platform::MessageIcon::Exclamation);
        out_.end = ReiRunEnd::Completed;
    }

    void failed(const std::exception& e) {
        ctx_.progress.hide();
        // A replaced table's reason comes with the count.
        std::string text = std::string(kCouldNotRun);
        if (!sitesBegun_ || !dynamic_cast<const pg::TableReplacedError*>(&e)) text += "\n" + std::string(e.what());
        if (sitesBegun_) {
            const std::string stored = hold_->storedText(out_.written, out_.sites);
            if (!stored.empty()) text += "\n" + stored;
            out_.held = hold_->held(out_.written);
        }
        messages_.message(text, platform::MessageIcon::Critical);
        out_.end = ReiRunEnd::Failed;
    }

    ReiRunContext& ctx_;
    const std::shared_ptr<pg::FeatureClass> fc_;
    ReiRunOutcome out_;
    RunMessages messages_;
    gis::RayContext rays_;
    std::optional<project::RunLocks> locks_;
    std::optional<project::RunHold> hold_;
    std::optional<RunCleanUp> cleanUp_;
    bool fast_ = false;
    bool background_ = false;
    std::vector<std::string> resultFields_;
    bool sitesBegun_ = false;
    bool stopped_ = false;
    std::int64_t committed_ = 0;
};

}  // namespace

ReiRunOutcome runmodel(ReiRunContext& ctx, const std::shared_ptr<pg::FeatureClass>& fc, std::int16_t) {
    return ReiRun(ctx, fc).run();
}

}  // namespace quor::rei
