#include "model/model_state.h"

namespace quor::model {

void ModelState::clearErrorFlags() {
    err_wind = err_clip = err_rays = err_fetch = 0;
    err_second = err_ptsecond = err_third = err_ptthird = 0;
    err_waveht = err_ptraster = err_nowater = 0;
}

void ModelState::erasePerSiteArrays() {
    deptharray.erase();
    wvhtarray.erase();
    wvpdarray.erase();
    energyarray.erase();
    wvht_first.erase();
    wvht_second.erase();
    ray_fetch.erase();
    ray_bathy.erase();
}

}  // namespace quor::model
