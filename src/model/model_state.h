#pragma once
// The state that the subsystems hand to one another: switches, run and
// error flags, model parameters, wind analysis results, direction arrays,
// the current site's results and the data folder. Plain structs held by
// reference, so that every test starts from a fresh one.
//
// Widths follow the stored formats: Byte -> uint8_t, Integer -> int16_t,
// Single -> float, Double -> double.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/bounded_array.h"
#include "model/run_lock.h"

namespace quor::platform {
class FileLock;
}  // namespace quor::platform

namespace quor::platform::gis {
class Raster;
class Workspace;
class FeatureClass;
}  // namespace quor::platform::gis

namespace quor::model {

// Status codes written into all results of a failed site.
namespace pt_status {
inline constexpr double no_data = -9999;
inline constexpr double rays_failed = -8888;
inline constexpr double clip_failed = -7777;
inline constexpr double fetch_failed = -6666;
inline constexpr double fast_failed = -5555;
inline constexpr double wave_failed = -9991;
inline constexpr double first_stage_failed = -9992;
inline constexpr double both_stages_failed = -9993;
inline constexpr double no_water_direction = -999;
}  // namespace pt_status

// What a result that is switched off holds (the bottom values with bottom
// velocity off), so that it never shows what another site left behind.
inline constexpr double kSwitchedOff = -999;

inline constexpr uint8_t RWE_MODE = 0;
inline constexpr uint8_t REI_MODE = 1;

struct ModelState {
    // Modes and switches
    uint8_t model_mode = RWE_MODE;
    uint8_t batch_mode = 0;
    uint8_t batch_cancel = 0;
    uint8_t orbvel_on = 0;
    uint8_t sediment_on = 0;
    int16_t velocity_method = 0;
    int16_t debug_mode = 0;
    int16_t wv_indexcheck = 0;
    int16_t bathy_positive = 0;
    bool welcome_done = false;
    bool dlg_cancel = false;
    bool wind_webflag = false;

    // Run flags and error flags of the RWE model
    bool cancel_flag = false;
    bool stop_flag = false;
    int16_t err_wind = 0;
    int16_t err_clip = 0;
    int16_t err_rays = 0;
    int16_t err_fetch = 0;
    int16_t err_second = 0;
    int16_t err_ptsecond = 0;
    int16_t err_third = 0;
    int16_t err_ptthird = 0;
    int16_t err_waveht = 0;
    int16_t err_ptraster = 0;
    int16_t err_nowater = 0;

    // Model parameters
    double Fetch_first = 0;
    double Depth_intg_first = 0;
    double Depth_intg_second = 0;
    double Eps = 0;
    double A_goda = 0;
    double goda_slope = 0;
    float sea_temp = 0;
    float sea_salinity = 0;
    float sed_density = 0;
    float sed_diameter = 0;
    float water_level = 0;
    double cell_step = 0;
    std::shared_ptr<platform::gis::Raster> bathy_raster;

    // Wind analysis
    int16_t wind_startyear = 0;
    int16_t wind_endyear = 0;
    double wind_reccount = 0;
    BoundedArray<float, 60> wind_dirspeed;
    BoundedArray<float, 60> wind_dircount;
    double wind_start = 0;  // date-time as days, 0 = unset
    double wind_end = 0;
    double wind_cutspeed = 0;
    // Station or source label of the last wind analysis, written into its wind file.
    std::string wind_source = "clkn7, Cape Lookout NC";  // the station list's first entry until an analysis runs
    // The buoy station the wind analysis dialog offers: that of the last
    // buoy analysis. A local record's station is only a label and would
    // be downloaded if it were offered here.
    std::string buoy_station = "clkn7, Cape Lookout NC";
    std::string batch_windname;
    std::string wind_path;
    std::string wind_name;

    // Direction arrays of the RWE model
    BoundedArray<double, 60> windarray;
    BoundedArray<double, 60> durarray;
    BoundedArray<double, 60> fetcharray;
    BoundedArray<double, 60> deptharray;
    BoundedArray<double, 60> wvhtarray;
    BoundedArray<double, 60> wvpdarray;
    BoundedArray<double, 60> energyarray;
    BoundedArray<double, 11000> wvht_first;
    BoundedArray<double, 50000> wvht_second;
    BoundedArray<double, 2000> depth_second;
    // How many leading elements of depth_second a ray may have set since
    // it was last cleared: each ray clears only those.
    int depth_second_used = decltype(depth_second)::size;

    // Ray arrays of the REI model (index = the ray's "Dir" value)
    BoundedArray<double, 32> ray_fetch;
    BoundedArray<double, 32> ray_bathy;
    BoundedArray<float, 32> ray_power;

    // Results of the current site
    double max_wvht = 0;
    double avg_wvht = 0;
    double avg_wvpd = 0;
    double max_wvdir = 0;
    double max_wvpd = 0;
    float pt_depth = 0;
    double esa_orbvel = 0;
    double esa_shearvel = 0;
    double esa_shearstress = 0;
    double lwt_orbvel = 0;
    double lwt_shearvel = 0;
    double lwt_shearstress = 0;
    double crit_shearstress = 0;
    int16_t sed_motion = 0;
    float sea_dens = 0;
    float sea_visc = 0;

    // The program's data folder
    std::string app_folder;

    // Held by the run drivers; the shell blocks its commands while it is taken.
    RunLock run_lock;
    // A run that goes unguarded for want of file locks says so once.
    bool unguarded_run_told = false;
    // So does a Delete or Save As that cannot keep other programs away.
    bool unguarded_claim_told = false;

    // Copy of wind_path taken whenever a project is created or loaded.
    std::string wind_pathcopy;

    // Clears every RWE error flag, as the run driver does at the end of a run.
    void clearErrorFlags();
    // Erases the per-site arrays the RWE driver empties after a run.
    void erasePerSiteArrays();
};

// What one site's computation leaves in the model state for its results,
// its files and the sites after it: the site's results, its stage flags
// and its direction and ray arrays. A site computed on a worker's own
// state hands this to the run's state when it is committed.
struct SiteState {
    double max_wvht = 0, avg_wvht = 0, avg_wvpd = 0, max_wvdir = 0, max_wvpd = 0;
    float pt_depth = 0;
    double esa_orbvel = 0, esa_shearvel = 0, esa_shearstress = 0;
    double lwt_orbvel = 0, lwt_shearvel = 0, lwt_shearstress = 0, crit_shearstress = 0;
    int16_t sed_motion = 0;
    float sea_dens = 0, sea_visc = 0;
    int16_t err_clip = 0, err_rays = 0, err_fetch = 0, err_second = 0, err_ptsecond = 0, err_third = 0,
            err_ptthird = 0, err_waveht = 0, err_ptraster = 0, err_nowater = 0;
    BoundedArray<double, 60> fetcharray, deptharray, wvhtarray, wvpdarray, energyarray;
    BoundedArray<double, 32> ray_fetch, ray_bathy;

    static SiteState of(const ModelState& s);
    void putInto(ModelState& s) const;
};

// The settings holder: the values the REI settings dialog keeps for both
// models between its showings.
struct SettingsHolder {
    double wind_cat1 = 0, wind_cat2 = 0, wind_cat3 = 0, wind_cat4 = 0;
    double wind_cat5 = 0;
    double Power1 = 0, Power2 = 0, Power3 = 0, Power4 = 0, Power5 = 0;
    float Power6 = 0;
    int16_t windcatno = 0;
    int16_t indexcheck = 0;
    int16_t refreshmap = 0;
    bool rec_setting = false;
    int16_t optionindex = 0;
    // The RWE settings' background run: no progress window, main window minimised.
    int16_t refreshmap1 = 0;
};

// Whether the current mode's model runs its fast algorithm, which needs
// no shoreline: each model has a flag of its own (RWE's in the model
// state, REI's in the holder), and only the mode's own decides.
inline bool fastAlgorithm(const ModelState& state, const SettingsHolder& holder) {
    return state.model_mode == REI_MODE ? holder.indexcheck != 0 : state.wv_indexcheck != 0;
}

// The wind summary holder (the wind-entry form's shared instance).
struct WindSummary {
    double windspd_ee = 0, windspd_se = 0, windspd_ss = 0, windspd_sw = 0, windspd_ww = 0, windspd_nw = 0,
           windspd_nn = 0;
    float windspd_ne = 0;
    double winddur_ee = 0, winddur_se = 0, winddur_ss = 0, winddur_sw = 0, winddur_ww = 0, winddur_nw = 0,
           winddur_nn = 0;
    float winddur_ne = 0;
    double windpower_ee = 0, windpower_se = 0, windpower_ss = 0, windpower_sw = 0, windpower_ww = 0,
           windpower_nw = 0, windpower_nn = 0;
    float windpower_ne = 0;
    std::string wind_station, wind_startdate, wind_enddate, wind_cutoff, wind_file, windunits;
    int16_t wind_num = 0;
    bool memory = false;
    // Interpolated power per REI ray direction, ordered clockwise from east.
    std::vector<float> windpowercoll;

    // The entry form's class tables (E, SE, S, SW, W, NW, N, NE; element 8
    // unused), kept with the holder: speeds in m/s and percentages of time.
    BoundedArray<double, 8> class_speed;
    BoundedArray<double, 8> class_percent;
};

// Public members of the main window that hold the open project and the
// values start-up fills.
struct MainFormState {
    int xscreen = 0;  // screen size in pixels (wider than the 16 bits the old twips needed)
    int yscreen = 0;
    double Fetch = 0;
    double dist_bathy = 0;
    std::string proj_name;
    std::string dir_path;

    std::string projfile;
    std::string projname;
    std::string geodatabasename;
    std::shared_ptr<platform::gis::Workspace> ptworkspace;
    std::shared_ptr<platform::gis::Workspace> pfeatureworkspace;
    std::shared_ptr<platform::gis::FeatureClass> sfeatureclass1;
    // This program's hold on the open project against other programs.
    std::shared_ptr<platform::FileLock> projectHold;
    std::string pointfeatclass;
    int16_t crt = 0;
    std::string shorecov, shorename, shorefeature;
    std::string bathycov, bathyname;
    std::string windpath;
    float unitfactor = 0;
    int16_t depthno = 0;
    int16_t fetchlength = 0;
    std::vector<std::string> shpcol;
    int16_t shpcount = 0;

    // Kept by the New Project dialog between its showings: the depth units
    // ("Meter", "Feet", "Centimeter") and the shoreline kind (1 shapefile,
    // 2 coverage class).
    std::string bathyunits;
    int16_t option_arccov = 0;
};

// Everything the subsystems share, owned once by the application on the
// heap: the direction arrays alone are about half a megabyte, too much for
// a stack frame. Tests keep making the structs one by one.
struct ApplicationState {
    ModelState state;
    MainFormState form;
    SettingsHolder holder;
};

}  // namespace quor::model
