#pragma once
// What one site's ray steps share: the model state they read and fill,
// the map they show their work on, the user-facing interfaces, the
// shoreline opened for the run, and the bookkeeping that leaves nothing
// of a site behind (its map layers and its work classes), however the
// site ends.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "platform/deferred_feedback.h"
#include "platform/feedback.h"
#include "platform/gis/geoprocessing.h"
#include "platform/gis/map.h"
#include "platform/gis/spatial_reference.h"
#include "platform/gis/workspace.h"

namespace quor::gis {

namespace pg = platform::gis;

// The work classes of a site, in the order the drivers delete them.
inline const std::vector<std::string> kRayWorkClasses = {"rays", "Inter_ray", "Inter_rays", "orp_rays", "EffF_rays"};

// The project's shoreline as the ray steps need it: the clip polygons,
// prepared once for a run and read by all its threads, and the dataset's
// own spatial reference (one thread's).
class Shoreline {
public:
    Shoreline(pg::ClipPolygons polygons, pg::SpatialReference sr)
        : polygons_(std::make_shared<const pg::ClipPolygons>(std::move(polygons))), sr_(std::move(sr)) {}

    // Opens the project's shoreline dataset: the class `shorefeature` of
    // a coverage folder, else the shapefile `shorename` in `shorecov`.
    // GisError when it cannot be opened or holds no polygon.
    static std::shared_ptr<const Shoreline> open(const model::MainFormState& mainform);

    // The same polygons, with a copy of the spatial reference for another
    // thread (GDAL's are not for two threads at once). Made on this
    // shoreline's thread.
    std::shared_ptr<const Shoreline> forAnotherThread() const;

    const pg::ClipPolygons& polygons() const { return *polygons_; }
    const pg::SpatialReference& spatialReference() const { return sr_; }

private:
    Shoreline(std::shared_ptr<const pg::ClipPolygons> polygons, pg::SpatialReference sr)
        : polygons_(std::move(polygons)), sr_(std::move(sr)) {}

    std::shared_ptr<const pg::ClipPolygons> polygons_;
    pg::SpatialReference sr_;
};

// Layers a site put on the map, removed by identity when the site ends,
// so that a layer of another site or of the project is never taken away
// by its position.
class SiteLayers {
public:
    // With `deferred`, every change is also played on `shownOn` (the
    // window's map) when the site is committed.
    explicit SiteLayers(pg::Map& map, platform::DeferredFeedback* deferred = nullptr, pg::Map* shownOn = nullptr)
        : map_(map), deferred_(deferred), shownOn_(shownOn) {}
    ~SiteLayers();
    SiteLayers(const SiteLayers&) = delete;
    SiteLayers& operator=(const SiteLayers&) = delete;

    // Puts a layer on top of the map and remembers it.
    void add(const std::shared_ptr<pg::Layer>& layer);
    // Remembers a layer that another operation put on the map.
    void adopt(const std::shared_ptr<pg::Layer>& layer);
    // Takes one of the site's layers off the map.
    void remove(const std::shared_ptr<pg::Layer>& layer);
    // Takes every remembered layer off the map.
    void removeAll();
    const std::vector<std::shared_ptr<pg::Layer>>& layers() const { return layers_; }

private:
    void mirror(const std::shared_ptr<pg::Layer>& layer, bool added);

    pg::Map& map_;
    platform::DeferredFeedback* deferred_;
    pg::Map* shownOn_;
    std::vector<std::shared_ptr<pg::Layer>> layers_;
};

struct RayContext {
    model::ModelState& state;
    model::SettingsHolder& fm_property;
    model::MainFormState& mainform;
    model::WindSummary& winddata;
    pg::Map& map;
    platform::Messages& messages;
    platform::Progress& progress;
    // Opened on first use from the project's shoreline when empty; a run
    // opens it once and keeps it for all its sites.
    std::shared_ptr<const Shoreline> shoreline = {};
    // Set while a RaySite is alive; layers are then removed when it ends.
    SiteLayers* siteLayers = nullptr;
    // Where a run keeps its sites' work classes (an in-memory workspace);
    // the project geodatabase when empty.
    std::shared_ptr<pg::Workspace> workspace = {};
    // Draws the square around a site over the map as drawn, not into a
    // layer; the next redraw wipes it. Empty: nothing is drawn.
    std::function<void(const std::vector<pg::Point>& square)> drawSiteSquare = {};
    // A site computed on a worker thread: what belongs to the window's
    // thread (map layers, files, the user's feedback) waits here for the
    // site's commit, and the site's work classes stay (in a workspace of
    // their own) until then, for the map to show.
    platform::DeferredFeedback* deferred = nullptr;
    pg::Map* windowMap = nullptr;
    // False when no one looks at the run's map (a run without the window):
    // nothing then reads the rays as a class, so they stay plain lines.
    bool mapSeen = true;
    // True when the sites are one part of a larger set (quor-run's
    // --part), which may hold none: the run then makes its fields ready and
    // ends with no site computed. Otherwise a dataset without sites is refused.
    bool sitesMayBeNone = false;

    // Whether the site's rays go into work classes: only for a map that
    // shows them (a background run draws nothing either).
    bool raysAsClasses() const { return mapSeen && fm_property.refreshmap != 1; }

    // Runs the action now, or at the site's commit when it is deferred.
    void atCommit(std::function<void()> action) const;
    // Asks the views of the map (the window's, for a deferred site) to draw it again.
    void refreshMap() const;

    // The workspace of the work classes.
    std::shared_ptr<pg::Workspace> workClasses() const;

    // The run's shoreline, opened now if needed (GisError when it cannot be).
    const Shoreline& shore();
    // Draws the square around the site through drawSiteSquare, when set.
    void showSiteSquare(const pg::Point& site) const;
    // Puts a layer on top of the map for the eye, tracked by the site.
    void showLayer(const std::shared_ptr<pg::Layer>& layer);
    void hideLayer(const std::shared_ptr<pg::Layer>& layer);
};

// Creates an empty polyline work class with the standard ray fields
// ("shape", "OBJECTID", "Dir") through the project geodatabase's class
// creation, which tells the user why it failed. Throws GisError then.
std::shared_ptr<pg::FeatureClass> createRayWorkClass(RayContext& ctx, const std::shared_ptr<pg::Workspace>& ws,
                                                     const std::string& name);

// Layers of the site that show this class.
std::vector<std::shared_ptr<pg::Layer>> layersShowing(const RayContext& ctx, const pg::FeatureClass* fc);

// Deletes every work class of a site that exists (names compared without
// regard to case); failures are passed over.
void deleteWorkClasses(const std::shared_ptr<pg::Workspace>& ws);

// The scope of one site: on entry it clears what a failed earlier site
// left among the work classes; on exit, normal or by an exception, it
// takes the site's layers off the map and, unless the site is deferred
// (its worker sees to them), deletes its work classes. Run drivers open
// one around each site and leave the map's layers and the work classes to
// it rather than removing layers by position.
class RaySite {
public:
    explicit RaySite(RayContext& ctx);
    ~RaySite();
    RaySite(const RaySite&) = delete;
    RaySite& operator=(const RaySite&) = delete;

private:
    RayContext& ctx_;
    SiteLayers layers_;
    SiteLayers* outer_;
};

}  // namespace quor::gis
