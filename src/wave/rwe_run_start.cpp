#include "wave/rwe_run_start.h"

#include "gis/shorebathy.h"
#include "model/setting_checks.h"
#include "model/wind_values.h"

namespace quor::wave {

std::optional<std::string> rweRunRangeProblem(const model::MainFormState& mainform, const model::ModelState& state) {
    if (auto problem = model::fetchProblem(mainform.Fetch)) return problem;
    return model::segmentDistanceProblem(state.Depth_intg_first);
}

std::optional<std::string> rweRunStartProblem(const model::MainFormState& mainform, const model::ModelState& state) {
    if (mainform.windpath.empty()) return std::string(model::kNoProjectWind);
    return rweRunRangeProblem(mainform, state);
}

RunOutcome singleRun(gis::RayContext& ctx, model::RunShell* shell, const std::shared_ptr<pg::FeatureClass>& points,
                     int16_t counterstart, const project::PointDatasetChoice& choice) {
    if (auto problem = rweRunStartProblem(ctx.mainform, ctx.state)) {
        ctx.messages.message(*problem, platform::MessageIcon::Exclamation);
        if (shell) shell->runEnded();
        RunOutcome refused;
        refused.end = RunEnd::Refused;
        return refused;
    }
    WaveRunContext run{ctx, shell, choice.shpdir, choice.shpname1};
    run.pointData = choice.pointData;
    run.workingCopy = choice.workingCopy;
    return wave_main_cls(run).WaveMain(points, counterstart, ctx.fm_property.optionindex, 0, 0);
}

void installWaveMain(project::RunDrivers& drivers, gis::RayContext& ctx, model::RunShell* shell) {
    drivers.WaveMain = [&ctx, shell](const std::shared_ptr<pg::FeatureClass>& fc, int16_t counterstart,
                                     const project::PointDatasetChoice& choice) {
        singleRun(ctx, shell, fc, counterstart, choice);
    };
}

std::shared_ptr<pg::Raster> runBathymetry(model::ModelState& state, const model::MainFormState& mainform) {
    // An earlier run's raster that will not serve goes first, with the
    // blocks it decoded, so that two readings never stand side by side.
    if (state.bathy_raster && state.bathy_raster != gis::heldBathymetry(mainform)) state.bathy_raster.reset();
    return gis::openBathymetry(mainform);
}

}  // namespace quor::wave
