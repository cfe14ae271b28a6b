#include "rei/rei_run.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "gis/createrays.h"
#include "gis/ray_site.h"
#include "gis/shorebathy.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/raster.h"
#include "platform/gis/workspace.h"
#include "platform/numbers.h"
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
    void store() override { fc_.store(f_); }

private:
    pg::FeatureClass& fc_;
    pg::Feature& f_;
};

// Restores the main window and clears the work classes however the run ends.
class RunScope {
public:
    explicit RunScope(ReiRunContext& ctx) : ctx_(ctx), lock_(ctx.state.run_lock) {
        if (ctx_.shell) ctx_.shell->runStarted();
    }
    ~RunScope() {
        ctx_.progress.hide();
        if (ctx_.shell) {
            if (minimised) ctx_.shell->setMinimised(false);
            if (titled) ctx_.shell->setTitle("Quor");
        }
        try {
            gis::deleteWorkClasses(ctx_.mainform.ptworkspace);
        } catch (...) {
        }
        if (ctx_.shell) ctx_.shell->runEnded();
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

    bool minimised = false;
    bool titled = false;

private:
    ReiRunContext& ctx_;
    model::RunLock::Scope lock_;
};

class ResultBatches {
public:
    explicit ResultBatches(std::shared_ptr<pg::Workspace> ws)
        : ws_(ws && ws->kind() == pg::WorkspaceKind::GeoPackage ? std::move(ws) : nullptr) {}
    // A run that breaks off keeps the results it has written.
    ~ResultBatches() {
        try {
            commit();
        } catch (...) {
        }
    }
    ResultBatches(const ResultBatches&) = delete;
    ResultBatches& operator=(const ResultBatches&) = delete;
    void open() {
        if (ws_ && !tx_) tx_ = std::make_unique<pg::Workspace::Transaction>(*ws_);
    }
    void written() {
        if (tx_ && ++count_ % kSitesPerBatch == 0) commit();
    }
    void commit() {
        if (tx_) tx_->commit();
        tx_.reset();
    }

private:
    static constexpr int kSitesPerBatch = 50;
    std::shared_ptr<pg::Workspace> ws_;
    std::unique_ptr<pg::Workspace::Transaction> tx_;
    int count_ = 0;
};

bool reachesWater(const model::ModelState& st) {
    for (int k = 0; k < 32; ++k)
        if (st.ray_fetch(k) > 0) return true;
    return false;
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
    if (!(mf.Fetch >= 100 && mf.Fetch <= 100000)) throw Refusal{kFetchRange};
    if (!(mf.dist_bathy >= 10 && mf.dist_bathy <= 200)) throw Refusal{kDistanceRange};
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
    rays.drawSiteSquare = ctx.drawSiteSquare;
    RunScope scope(ctx);
    try {
        if (!fc) throw Refusal{"No point dataset was given to run the model on."};
        ctx.mainform.unitfactor =
            reiUnitFactor(ctx.bathyunits.empty() ? ctx.mainform.bathyunits : ctx.bathyunits);
        ctx.mainform.pointfeatclass = fc->name();
        const bool fast = ctx.fm_property.indexcheck == 1;
        checkInputs(ctx, rays, *fc, fast);
        auto raster = openRunRaster(ctx.mainform);
        // The wind climate is read afresh, so the powers follow the current categories.
        if (!ctx.reloadWind) throw Refusal{"The wind data of the project cannot be read for this run."};
        if (!ctx.reloadWind(messages)) {
            out.end = ReiRunEnd::Refused;
            return out;
        }

        const bool rayLengths = ctx.mainform.fetchlength == 1;
        const FieldsResult fields = fast ? addREIfields_dir(*fc, rayLengths, messages)
                                         : addREIfields(*fc, rayLengths, messages);
        if (fields == FieldsResult::Declined) {
            out.end = ReiRunEnd::Declined;
            return out;
        }

        const bool background = ctx.fm_property.refreshmap != 0;
        if (!background) {
            ctx.progress.show();
            ctx.progress.setMaximum(1, 100);
        } else if (ctx.shell) {
            ctx.shell->setMinimised(true);
            scope.minimised = true;
        }
        ctx.state.bathy_raster = raster;
        out.sites = fc->featureCount();
        // Nothing of a run that broke off may reach the first site.
        resetRayArrays(ctx.state);

        // Results of a project class are committed a few dozen sites at a
        // time rather than one file sync per site; a run that breaks off
        // keeps every batch committed before.
        ResultBatches batches(fc->workspace());
        auto cursor = fc->search();
        std::int64_t i = 1;
        for (auto f = cursor.next(); f; f = cursor.next(), ++i) {
            batches.open();
            const std::string of = std::to_string(i) + " of " + std::to_string(out.sites);
            if (ctx.shell) {
                ctx.shell->setTitle("Quor running.." + of);
                scope.titled = true;
            }
            if (!background) {
                ctx.progress.setValue(1, 0);
                ctx.progress.setLabel(1, "Processing Point " + of);
            }
            if (f->shape().type() != pg::GeometryType::Point || f->shape().isEmpty()) {
                ++out.skipped;
                continue;
            }
            const pg::Point spoint = f->shape().asPoint();
            if (raster->identify(spoint).kind != pg::PixelValue::Kind::Value) {
                ++out.failed;
                continue;
            }
            const std::size_t reported = messages.count();
            {
                gis::RaySite site(rays);
                gis::createrays_cls(rays).createrays(spoint, ctx.mainform.ptworkspace, ctx.mainform.projname,
                                                     static_cast<int>(std::min<std::int64_t>(i, INT32_MAX)), raster);
            }
            // The ray steps told the user why they failed; a site none of
            // whose rays reaches water is not in the water. Either way its
            // fields stay empty rather than read as fully sheltered.
            if (messages.count() != reported || !reachesWater(ctx.state)) {
                resetRayArrays(ctx.state);
                ++out.failed;
                continue;
            }
            FeatureFields site(*fc, *f);
            ReiIndexContext ictx{ctx.state, ctx.mainform, ctx.winddata, ctx.progress};
            if (fast)
                REIindex_dir(site, ictx);
            else
                REIindex(site, ictx);
            ++out.written;
            batches.written();
        }
        batches.commit();

        if (ctx.shell) {
            ctx.shell->setTitle("Quor");
            scope.titled = false;
        }
        if (background) {
            if (ctx.shell) ctx.shell->setMinimised(false);
            scope.minimised = false;
            ctx.messages.message(kProcessingDone, platform::MessageIcon::Information);
        }
        const std::int64_t missed = out.failed + out.skipped;
        if (missed > 0)
            ctx.messages.message(std::to_string(missed) + " of " + std::to_string(out.sites) +
                                     " sites could not be processed",
                                 platform::MessageIcon::Exclamation);
        out.end = ReiRunEnd::Completed;
    } catch (const Refusal& r) {
        messages.message(r.text, r.text == kNoShoreline ? platform::MessageIcon::Critical
                                                        : platform::MessageIcon::Exclamation);
        out.end = ReiRunEnd::Refused;
    } catch (const std::exception& e) {
        ctx.progress.hide();
        messages.message(std::string(kCouldNotRun) + "\n" + e.what(), platform::MessageIcon::Critical);
        out.end = ReiRunEnd::Failed;
    }
    return out;
}

}  // namespace quor::rei
