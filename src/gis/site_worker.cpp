#include "gis/site_worker.h"

#include <algorithm>

#include "gis/shorebathy.h"
#include "platform/gis/raster.h"
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
    try {
        return site.oid() >= 0 && !points.findFeature(site.oid());
    } catch (const std::exception&) {
        return false;
    }
}

void SiteRecord::play() {
    platform::DeferredFeedback::play(actions);
    actions.clear();
    workspace.reset();
}

std::vector<std::unique_ptr<SiteWorker>> SiteWorker::forRun(const RayContext& run, int count) {
    std::shared_ptr<const std::vector<pg::Geometry>> polygons;
    if (run.shoreline) {
        // Read here, not by each worker: a dataset opened twice is one
        // shared dataset, and GDAL's are not for two threads at once.
        std::vector<pg::Geometry> polys;
        auto cursor = openShoreline(run.mainform)->search();
        while (auto f = cursor.next())
            if (f->shape().type() == pg::GeometryType::Polygon && !f->shape().isEmpty()) polys.push_back(f->shape());
        polygons = std::make_shared<const std::vector<pg::Geometry>>(std::move(polys));
    }
    std::shared_ptr<pg::SharedBlocks> blocks;
    if (run.state.bathy_raster) {
        // As much as GDAL's own cache may hold, never more than the raster.
        constexpr std::size_t kMostBytes = 256u * 1024 * 1024;
        blocks = std::make_shared<pg::SharedBlocks>(std::min(run.state.bathy_raster->blockBytesInAll(), kMostBytes));
    }
    std::vector<std::unique_ptr<SiteWorker>> workers;
    for (int w = 0; w < count; ++w) workers.push_back(std::make_unique<SiteWorker>(run, polygons, blocks));
    return workers;
}

SiteWorker::SiteWorker(const RayContext& run, std::shared_ptr<const std::vector<pg::Geometry>> shorePolygons,
                       std::shared_ptr<pg::SharedBlocks> rasterBlocks)
    : state_(std::make_unique<model::ModelState>(run.state)),
      settings_(run.fm_property),
      mainform_(withoutProject(run.mainform)),
      wind_(run.winddata),
      feedback_(run.messages, run.progress),
      rays_{*state_, settings_, mainform_, wind_, map_, feedback_, feedback_},
      rasterPath_(run.state.bathy_raster ? run.state.bathy_raster->path() : std::string()),
      rasterBlocks_(std::move(rasterBlocks)),
      shorePolygons_(std::move(shorePolygons)) {
    // A copy of the reference's GDAL object, not a second hold on the run's.
    if (run.shoreline) shoreReference_ = pg::SpatialReference::fromOgr(run.shoreline->spatialReference().ogr());
    state_->run_lock = {};
    state_->bathy_raster.reset();
    rays_.drawSiteSquare = run.drawSiteSquare;
    rays_.deferred = &feedback_;
    rays_.windowMap = &run.map;
}

RayContext& SiteWorker::beginSite() {
    if (!opened_) {
        if (!rasterPath_.empty()) {
            auto raster = pg::Raster::open(rasterPath_);
            raster->shareBlocks(rasterBlocks_);
            state_->bathy_raster = std::move(raster);
        }
        if (shorePolygons_)
            rays_.shoreline =
                std::make_shared<const Shoreline>(pg::ClipPolygons::fromGeometries(*shorePolygons_), shoreReference_);
        opened_ = true;
    }
    rays_.workspace = pg::Workspace::createMemory("site-work");
    return rays_;
}

SiteRecord SiteWorker::endSite() {
    SiteRecord r{feedback_.take(), std::move(rays_.workspace)};
    rays_.workspace.reset();
    return r;
}

}  // namespace quor::gis
