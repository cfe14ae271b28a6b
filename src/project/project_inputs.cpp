#include "project/project_inputs.h"

#include "gis/shorebathy.h"

namespace quor::project {

std::shared_ptr<platform::gis::Raster> openProjectBathymetry(const model::MainFormState& f) {
    return gis::openBathymetryInFolder(f);
}

}  // namespace quor::project
