#pragma once
// What one worker thread of a run owns to compute sites, so that no two
// threads share what is not safe to share: its own copy of the model
// state, settings, wind values and project values the site steps read and
// write, its own handle on the bathymetry raster (over the blocks all the
// workers share), the run's shoreline (shared, read only) with a spatial
// reference of its own, a map of its own, and an in-memory workspace for
// the sites' work classes. Whatever belongs to the window's thread
// (messages, progress, map layers, files) is deferred to the site's commit.
#include <cstddef>
#include <memory>
#include <vector>

#include "gis/ray_site.h"
#include "platform/deferred_feedback.h"
#include "platform/gis/raster.h"

namespace quor::gis {

// Sites a worker may have computed ahead of the commit: enough to keep it
// busy while the window's thread writes, and while a slow site holds up
// the commits behind it (sites are committed in order), and to read them
// in bursts long enough that idle workers are seldom woken; few enough to
// bound the memory (a site in flight holds a few kilobytes).
inline constexpr std::size_t kSitesAheadPerThread = 32;

// What a site computed on a worker leaves for its commit.
struct SiteRecord {
    platform::DeferredFeedback::Actions actions;
    // Holds the site's work classes (and the layers showing them) until
    // the actions have been played; empty when no layer shows them.
    std::shared_ptr<pg::Workspace> workspace;
    // Plays the actions on the window's thread. The actions and the classes
    // go with the record, which the run lets go on a worker.
    void play();
};

// Whether the site's row was deleted (by another program) after the run
// read it, ahead of its commit: such a site is passed over, as a row gone
// before the run reads it is. False when the row cannot be read.
bool deletedSinceRead(const pg::FeatureClass& points, const pg::Feature& site);

class SiteWorker {
public:
    // The workers of a run, made on the window's thread before any site is
    // handed out: each copies from `run` what the site steps read and
    // write, and shares the run's shoreline.
    static std::vector<std::unique_ptr<SiteWorker>> forRun(const RayContext& run, int count);

    SiteWorker(const RayContext& run, std::shared_ptr<pg::SharedBlocks> rasterBlocks);
    SiteWorker(const SiteWorker&) = delete;
    SiteWorker& operator=(const SiteWorker&) = delete;

    // On the worker's thread: the raster is opened on the first site.
    RayContext& beginSite();
    // The site's deferred actions, with its workspace when they show its
    // work classes.
    SiteRecord endSite();

    RayContext& rays() { return rays_; }
    platform::DeferredFeedback& feedback() { return feedback_; }

private:
    std::unique_ptr<model::ModelState> state_;
    model::SettingsHolder settings_;
    model::MainFormState mainform_;
    model::WindSummary wind_;
    pg::Map map_;
    // The run's bar counts its sites: a site's steps do not move it.
    platform::StepsProgress steps_;
    platform::DeferredFeedback feedback_;
    RayContext rays_;
    std::string rasterPath_;  // the run's bathymetry, checked when the run opened it
    // Its blocks, decoded once for all the workers.
    std::shared_ptr<pg::SharedBlocks> rasterBlocks_;
};

}  // namespace quor::gis
