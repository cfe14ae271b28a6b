#include "wave/rwe_run_start.h"

namespace quor::wave {

void installWaveMain(project::RunDrivers& drivers, gis::RayContext& ctx, model::RunShell* shell) {
    drivers.WaveMain = [&ctx, shell](const std::shared_ptr<pg::FeatureClass>& fc, int16_t counterstart,
                                     const project::PointDatasetChoice& choice) {
        WaveRunContext run{ctx, shell, choice.shpdir, choice.shpname1};
        wave_main_cls(run).WaveMain(fc, counterstart, ctx.fm_property.optionindex, 0, 0);
    };
}

}  // namespace quor::wave
