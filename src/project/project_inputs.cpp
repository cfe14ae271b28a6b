#include "project/project_inputs.h"

#include "gis/shorebathy.h"

namespace quor::project {

std::shared_ptr<platform::gis::Raster> openProjectBathymetry(const model::MainFormState& f) {
    return gis::openBathymetryInFolder(f);
}

std::optional<InterrogationProposal> reiBathymetryProposal(const platform::gis::Raster& raster,
                                                           model::MainFormState& form, platform::Progress* progress) {
    const auto [minimum, maximum] = raster.minMax(progress);
    if (const auto flag = depthSignFlag(minimum, maximum)) form.depthno = *flag;
    auto proposal = proposeInterrogationDistance(raster.cellSizeX(), raster.cellSizeY());
    if (proposal && form.dist_bathy == proposal->distance) return std::nullopt;
    return proposal;
}

}  // namespace quor::project
