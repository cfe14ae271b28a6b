#pragma once
// The ranges the settings dialogs accept. The dialogs check their boxes
// with them, start-up checks the stored settings with them, and the run
// starts check the values in memory with them, so a value refused in one
// place is refused in all. Each check gives the dialog's message, or
// nothing when the value is acceptable; a value that is not a number is
// never acceptable.
#include <array>
#include <optional>
#include <string>

namespace quor::model {

inline constexpr double kMinFetch = 100, kMaxFetch = 100000;           // m
inline constexpr double kMinBathyDistance = 10, kMaxBathyDistance = 200;  // m
inline constexpr double kMinSegmentDistance = 1;                        // m, up to kMaxFetch
inline constexpr double kMinSeaTemperature = -5, kMaxSeaTemperature = 50;  // degree C
inline constexpr double kMaxSeaSalinity = 400;                           // g/kg, from 0
inline constexpr int kMaxWindCategories = 5;                             // REI, from 1

inline constexpr const char* kMsgFetchRange = "Please select fetch between range of 100 mts and 100000 mts";
inline constexpr const char* kMsgBathyDistanceRange =
    "Please select Distance for bathmetry interrogation between range of 10 mts and 200 mts";
inline constexpr const char* kMsgSegments = "Please select appropriate fetch segments";
inline constexpr const char* kMsgSegmentDistanceRange =
    "Please select fetch segment interrogation distance between range of 1 mts and 100000 mts";
inline constexpr const char* kMsgGoda = "Alpha Goda's Formula must be greater than 0.";
inline constexpr const char* kMsgEps = "Sensitivity eps must be greater than 0 (1 in N, N > 0).";
inline constexpr const char* kMsgSlope = "Beach slope must lie between 0 and 90 degrees (both excluded).";
inline constexpr const char* kMsgSeaTemperature = "Sea Temperature must lie between -5 and 50 degree C.";
inline constexpr const char* kMsgSeaSalinity = "Sea Water Salinity must lie between 0 and 400 g / Kg.";
inline constexpr const char* kMsgSecondDistanceRange =
    "Second interrogation distance must lie between 1 and 100000 mts.";
inline constexpr const char* kMsgRayOption = "The ray option must be 0 to 4 (16, 32, 40, 48 or 56 rays).";
inline constexpr const char* kMsgFastAlgorithm = "The fast algorithm setting must be 0 (off) or 1 (on).";
inline constexpr const char* kMsgCategoryCount = "Please choose between 1 and 5 wind speed categories.";
inline constexpr const char* kMsgPowersAsNumbers = "Please type every power as a number of 0 or more.";
inline constexpr const char* kMsgDensityNotANumber = "Please enter the sediment density as a number (kg/m3).";
inline constexpr const char* kMsgDiameterNotANumber = "Please enter the sediment grain diameter as a number (m).";
inline constexpr const char* kMsgWaterLevelNotANumber = "Please enter the water level as a number of metres.";
inline constexpr const char* kMsgBoundsIncrease =
    "The upper bounds of the wind speed categories in use must be above 0 and increase from one category to the "
    "next.";

using SettingProblem = std::optional<std::string>;

// Maximum fetch, both modes: 100 to 100000 m.
SettingProblem fetchProblem(double fetch);
// REI bathymetry interrogation distance: 10 to 200 m.
SettingProblem bathyDistanceProblem(double distance);
// RWE fetch segment length: above 0 and not beyond the fetch.
SettingProblem segmentLengthProblem(double segment, double fetch);
// RWE fetch segment interrogation distance (the depth sampling step): 1
// to 100000 m.
SettingProblem segmentDistanceProblem(double distance);
// RWE second interrogation distance (the first shallow-water stage's
// step): 1 to 100000 m, as the first.
SettingProblem secondDistanceProblem(double distance);
// RWE ray-count option: 0 to 4 for 16, 32, 40, 48 or 56 rays.
SettingProblem rayOptionProblem(double option);
// Fast-algorithm switches of both modes: 0 or 1.
SettingProblem fastAlgorithmProblem(double flag);
// Goda's breaking coefficient: above 0.
SettingProblem godaProblem(double aGoda);
// The N of the wave-number tolerance 1 / N: above 0, with 1 / N a number.
SettingProblem epsProblem(double n);
// Beach slope in degrees: between 0 and 90, both excluded.
SettingProblem slopeProblem(double degrees);
// Sea temperature, degree C: -5 to 50.
SettingProblem seaTemperatureProblem(double celsius);
// Sea salinity, g/kg: 0 to 400.
SettingProblem seaSalinityProblem(double salinity);
// Sediment density, kg/m3: a number above the density of the sea water
// (`seaDensity`, from the sea temperature and salinity); a lighter
// sediment would float. The bottom-velocity window gives an empty entry,
// or one of 0 or less, the default before it checks.
SettingProblem sedimentDensityProblem(double density, double seaDensity);
// Sediment grain diameter, m: a number (0 or less takes the default as
// the density does).
SettingProblem sedimentDiameterProblem(double diameter);
// Water level of single RWE runs, m: a number a single-precision value holds.
SettingProblem waterLevelProblem(double level);
// REI wind-speed categories: a whole count of 1 to 5, five powers of 0 or
// more, and the bounds in use (count - 1 of them) above 0 and increasing.
SettingProblem windCategoryProblem(double count, const std::array<double, 4>& bounds,
                                   const std::array<double, 5>& powers);

}  // namespace quor::model
