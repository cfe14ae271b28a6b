#pragma once
// The inputs of a run without the window: taken as the New Project dialog
// takes them (the bathymetry, the shoreline, the wind file, the units and
// the depth sign, each checked as a browsed choice is), or read from a
// saved project as Open Project reads it; and the sites, which must be
// points in the bathymetry's spatial reference.
#include <memory>
#include <string>
#include <vector>

#include "cli/run_options.h"
#include "model/model_state.h"
#include "platform/feedback.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/map.h"
#include "platform/gis/raster.h"
#include "platform/gis/spatial_reference.h"

namespace quor::cli {

// Where the sites are: a shapefile, or a layer of a GeoPackage.
struct SitesSource {
    std::string path;
    std::string layer;  // empty for a shapefile
    bool geodatabase() const { return !layer.empty(); }
    // How a message names them: the file, and the layer of a GeoPackage.
    std::string shown() const { return layer.empty() ? path : path + " (layer " + layer + ")"; }
};

// The spatial references the sites must share.
struct InputReferences {
    platform::gis::SpatialReference bathymetry;
    platform::gis::SpatialReference shoreline;  // none when the run clips nothing
    std::string shorelineName;
    // The bathymetry as the run reads it, read once here: while it is held,
    // the run takes it as it is rather than decoding its cells again.
    std::shared_ptr<platform::gis::Raster> bathymetryRead;
};

// Fills the project values (and, for REI, the wind holder) from the
// options. What the window would tell while it reads them goes to
// `messages`; BadInput names the option and the file and says why.
InputReferences takeRunInputs(const RunOptions& options, model::ApplicationState& app, model::WindSummary& wind,
                              platform::Messages& messages, platform::gis::Map& map);

// The sites the options name; BadInput when they are missing or
// unreadable, or a GeoPackage is given without its layer.
SitesSource sitesSource(const RunOptions& options, const model::MainFormState& project);

// Every file (or folder) the run reads: the sites, the shoreline, the
// bathymetry, the wind file, the settings and the project with what it names.
std::vector<std::string> runInputFiles(const RunOptions& options, const model::MainFormState& project,
                                       const SitesSource& sites);

// BadInput unless the sites (named as `source`) hold points in the
// spatial reference of the bathymetry and the shoreline.
void checkSites(const SitesSource& source, platform::gis::GeometryType type,
                const platform::gis::SpatialReference& sites, const InputReferences& inputs);

}  // namespace quor::cli
