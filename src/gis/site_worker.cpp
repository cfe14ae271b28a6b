#include "gis/site_worker.h"

#include <algorithm>
#include <utility>

#include "platform/gis/raster.h"

namespace quor::gis {

namespace {

// The project's values without its open datasets and locks: a worker
// never reaches the project's geodatabase.
model::MainFormState withoutProject(model::MainFormState mf) {
    mf.ptworkspace.reset();
    mf.pfeatureworkspace.reset();
    mf.sfeatureclass1.reset();
    mf.projectHold.reset();
    return mf;
}

}  // namespace

bool deletedSinceRead(const pg::FeatureClass& points, const pg::Feature& site) {
    // A shapefile loses rows only with a new table, which its writer tells
    // as replaced; reading the row back would put the values written so far
    // on disk and forget a failure to do so.
    if (points.workspace() && points.workspace()->kind() == pg::WorkspaceKind::ShapefileFolder) return false;
    try {
        return site.oid() >= 0 && !points.findFeature(site.oid());
    } catch (const std::exception&) {
        return false;
    }
}

void SiteRecord::play() { platform::DeferredFeedback::play(actions); }

std::vector<std::unique_ptr<SiteWorker>> SiteWorker::forRun(const RayContext& run, int count) {
    std::vector<std::unique_ptr<SiteWorker>> workers;
    if (count <= 1) {
        // The one worker computes on the run's own thread: it reads through
        // the run's raster handle and the blocks that handle holds.
        workers.push_back(std::make_unique<SiteWorker>(run, nullptr));
        workers.back()->state_->bathy_raster = run.state.bathy_raster;
        return workers;
    }
    std::shared_ptr<pg::SharedBlocks> blocks;
    if (run.state.bathy_raster) blocks = run.state.bathy_raster->takeSharedBlocks(pg::kSharedBlockBytes);
    for (int w = 0; w < count; ++w) workers.push_back(std::make_unique<SiteWorker>(run, blocks));
    return workers;
}

SiteWorker::SiteWorker(const RayContext& run, std::shared_ptr<pg::SharedBlocks> rasterBlocks)
    : state_(std::make_unique<model::ModelState>(run.state)),
      settings_(run.fm_property),
      mainform_(withoutProject(run.mainform)),
      wind_(run.winddata),
      steps_(run.progress),
      feedback_(run.messages, steps_),
      rays_{*state_, settings_, mainform_, wind_, map_, feedback_, feedback_},
      rasterPath_(run.state.bathy_raster ? run.state.bathy_raster->path() : std::string()),
      rasterBlocks_(std::move(rasterBlocks)) {
    // The run's shoreline, prepared once for every worker.
    if (run.shoreline) rays_.shoreline = run.shoreline->forAnotherThread();
    state_->run_lock = {};
    state_->bathy_raster.reset();
    rays_.drawSiteSquare = run.drawSiteSquare;
    rays_.deferred = &feedback_;
    rays_.windowMap = &run.map;
    rays_.mapSeen = run.mapSeen;
}

RayContext& SiteWorker::beginSite() {
    if (!rasterPath_.empty() && !state_->bathy_raster) {
        auto raster = pg::Raster::open(rasterPath_);
        raster->shareBlocks(rasterBlocks_);
        state_->bathy_raster = std::move(raster);
    }
    if (!rays_.workspace) rays_.workspace = pg::Workspace::createMemory("site-work");
    return rays_;
}

SiteRecord SiteWorker::endSite() {
    // Work classes a layer of the site shows stay, in their workspace,
    // until the site's commit has played that layer; the next site gets a
    // workspace of its own. Otherwise the worker keeps its workspace, and
    // the site's classes go now, on its own thread.
    std::shared_ptr<pg::Workspace> shown;
    if (rays_.workspace && rays_.workspace.use_count() > 1)
        shown = std::exchange(rays_.workspace, nullptr);
    else if (rays_.workspace)
        deleteWorkClasses(rays_.workspace);
    return SiteRecord{feedback_.take(), std::move(shown)};
}

}  // namespace quor::gis
