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
    // The shallow-water stages write their heights at a direction's index
    // only, after reading that direction's wind: no index beyond the wind
    // arrays' is ever set, so the rest of these large arrays stays zero.
    wvht_first.eraseThrough(windarray.upper);
    wvht_second.eraseThrough(windarray.upper);
    ray_fetch.erase();
    ray_bathy.erase();
}

namespace {

// One list of the fields, used both ways.
template <class From, class To>
void copySite(const From& f, To& t) {
    t.max_wvht = f.max_wvht;
    t.avg_wvht = f.avg_wvht;
    t.avg_wvpd = f.avg_wvpd;
    t.max_wvdir = f.max_wvdir;
    t.max_wvpd = f.max_wvpd;
    t.pt_depth = f.pt_depth;
    t.esa_orbvel = f.esa_orbvel;
    t.esa_shearvel = f.esa_shearvel;
    t.esa_shearstress = f.esa_shearstress;
    t.lwt_orbvel = f.lwt_orbvel;
    t.lwt_shearvel = f.lwt_shearvel;
    t.lwt_shearstress = f.lwt_shearstress;
    t.crit_shearstress = f.crit_shearstress;
    t.sed_motion = f.sed_motion;
    t.sea_dens = f.sea_dens;
    t.sea_visc = f.sea_visc;
    t.err_clip = f.err_clip;
    t.err_rays = f.err_rays;
    t.err_fetch = f.err_fetch;
    t.err_second = f.err_second;
    t.err_ptsecond = f.err_ptsecond;
    t.err_third = f.err_third;
    t.err_ptthird = f.err_ptthird;
    t.err_waveht = f.err_waveht;
    t.err_ptraster = f.err_ptraster;
    t.err_nowater = f.err_nowater;
    t.fetcharray = f.fetcharray;
    t.deptharray = f.deptharray;
    t.wvhtarray = f.wvhtarray;
    t.wvpdarray = f.wvpdarray;
    t.energyarray = f.energyarray;
    t.ray_fetch = f.ray_fetch;
    t.ray_bathy = f.ray_bathy;
}

}  // namespace

SiteState SiteState::of(const ModelState& s) {
    SiteState out;
    copySite(s, out);
    return out;
}

void SiteState::putInto(ModelState& s) const { copySite(*this, s); }

}  // namespace quor::model
