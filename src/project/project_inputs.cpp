#include "project/project_inputs.h"

#include <filesystem>

#include "platform/gis/gis_error.h"
#include "platform/gis/workspace.h"

namespace quor::project {

namespace pg = platform::gis;

std::shared_ptr<pg::Raster> openProjectBathymetry(const model::MainFormState& f) {
    const auto sep = f.bathycov.find_last_of("/\\");
    if (sep == std::string::npos) throw pg::GisError("The bathymetry path \"" + f.bathycov + "\" names no folder.");
    return pg::Raster::open(f.bathycov.substr(0, sep) + "/" + f.bathyname);
}

std::shared_ptr<pg::FeatureClass> openProjectShoreline(const model::MainFormState& f) {
    auto ws = pg::Workspace::open(f.shorecov + "/" + f.shorename);
    if (f.option_arccov == 2) {
        if (f.shorefeature == "polygon" && !ws->hasFeatureClass("polygon") && ws->hasFeatureClass("PAL"))
            return ws->openFeatureClass("PAL");
        return ws->openFeatureClass(f.shorefeature);
    }
    return ws->openFeatureClass(std::filesystem::path(f.shorename).stem().string());
}

}  // namespace quor::project
