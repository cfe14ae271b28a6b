#pragma once
// Reads the program's stored settings into the shared state, replacing
// missing values by their defaults and writing most defaults back. A
// stored value that a settings dialog would refuse is checked with the
// dialog's own check (model/setting_checks.h) and replaced by its default
// as well. The window's start-up calls the groups at fixed points of its
// sequence, since some of them depend on the data folder being known and
// created first; a run without the window reads them the same way.
//
// The quirks are deliberate and relied upon by stored settings in the
// field: "Depth_intg_first" writes back "500" while using 100, "Eps" is
// stored as its reciprocal, a few keys get no write-back, and a single
// REI category with a first bound of 0 is reset in memory only.
#include <string>
#include <vector>

#include "model/model_state.h"
#include "platform/settings_store.h"

namespace quor::model {

// Application name under which every setting is kept.
inline constexpr const char* kSettingsApp = "Quor3";

// A stored value that the settings dialogs would refuse, replaced by its
// default in memory and in the store; start-up reports them all at once.
struct ReplacedSetting {
    std::string section, key;
    std::string was;  // the stored text
    std::string now;  // what took its place
    std::string why;  // the dialog's reason
};
using ReplacedSettings = std::vector<ReplacedSetting>;

// The one report of start-up's replacements.
std::string replacedSettingsMessage(const ReplacedSettings& replaced);

// Each group adds what it replaces to `report` when one is given.

// "Fetch" to "name": maximum fetch, the RWE stage parameters, the project
// name stem.
void loadSettingsParameters(platform::SettingsStore& store, ModelState& state, MainFormState& form,
                            ReplacedSettings* report = nullptr);

// "default": the project folder; when empty, the data folder's "Project"
// folder, written back.
void loadSettingsProjectFolder(platform::SettingsStore& store, const ModelState& state, MainFormState& form);

// "Bathy_dist" to "wv_indexcheck": interrogation distance, the holder's
// wind categories and powers (reset in memory when the first bound is 0),
// category count, ray-count option, recommended-settings flag, RWE fast
// algorithm.
void loadSettingsHolder(platform::SettingsStore& store, ModelState& state, MainFormState& form, SettingsHolder& holder,
                        ReplacedSettings* report = nullptr);

// "Sea_temp" and "Sea_salinity": no write-back, except for a value the
// RWE settings would refuse.
void loadSettingsSea(platform::SettingsStore& store, ModelState& state, ReplacedSettings* report = nullptr);

// "threads": the threads a run computes its sites on. Missing or 0 means
// every core the program may use; nothing is written back then. A value
// that is no whole number of 0 or more is replaced by 0, as is the
// variable QUOR_THREADS (in memory only) when it holds one.
void loadSettingsThreads(platform::SettingsStore& store, ReplacedSettings* report = nullptr);

// The switches every start begins with, none of them stored: bottom
// velocity and sediment motion off, the spectral method, no debugging
// output.
void startSwitches(ModelState& state);

}  // namespace quor::model
