#include "project/project_inputs.h"

#include "platform/gis/gis_error.h"

namespace quor::project {

namespace pg = platform::gis;

std::shared_ptr<pg::Raster> openProjectBathymetry(const model::MainFormState& f) {
    const auto sep = f.bathycov.find_last_of("/\\");
    if (sep == std::string::npos) throw pg::GisError("The bathymetry path \"" + f.bathycov + "\" names no folder.");
    return pg::Raster::open(f.bathycov.substr(0, sep) + "/" + f.bathyname);
}

}  // namespace quor::project
