#pragma once
// Connects the run start to the RWE run driver: a run of every site of the
// chosen dataset with the ray count of the settings.
#include "gis/ray_site.h"
#include "project/ptdatasel.h"
#include "wave/wave_main.h"

namespace quor::wave {

// Fills the RWE slot of `drivers`. `ctx` and `shell` must outlive it.
void installWaveMain(project::RunDrivers& drivers, gis::RayContext& ctx, model::RunShell* shell = nullptr);

}  // namespace quor::wave
