#include "wave/rwe_run_start.h"

#include "model/setting_checks.h"

namespace quor::wave {

std::optional<std::string> rweRunRangeProblem(const model::MainFormState& mainform, const model::ModelState& state) {
    if (auto problem = model::fetchProblem(mainform.Fetch)) return problem;
    return model::segmentDistanceProblem(state.Depth_intg_first);
}

void installWaveMain(project::RunDrivers& drivers, gis::RayContext& ctx, model::RunShell* shell) {
    drivers.WaveMain = [&ctx, shell](const std::shared_ptr<pg::FeatureClass>& fc, int16_t counterstart,
                                     const project::PointDatasetChoice& choice) {
        if (auto problem = rweRunRangeProblem(ctx.mainform, ctx.state)) {
            ctx.messages.message(*problem, platform::MessageIcon::Exclamation);
            if (shell) shell->runEnded();
            return;
        }
        WaveRunContext run{ctx, shell, choice.shpdir, choice.shpname1};
        wave_main_cls(run).WaveMain(fc, counterstart, ctx.fm_property.optionindex, 0, 0);
    };
}

}  // namespace quor::wave
