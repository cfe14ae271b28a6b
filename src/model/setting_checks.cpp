#include "model/setting_checks.h"

#include <cmath>

#include "platform/numbers.h"

namespace quor::model {

namespace {

// Written so that a value that is no number falls outside every range.
bool within(double v, double lo, double hi) { return v >= lo && v <= hi; }

SettingProblem refuse(const char* message) { return std::string(message); }

}  // namespace

SettingProblem fetchProblem(double fetch) {
    return within(fetch, kMinFetch, kMaxFetch) ? std::nullopt : refuse(kMsgFetchRange);
}

SettingProblem bathyDistanceProblem(double distance) {
    return within(distance, kMinBathyDistance, kMaxBathyDistance) ? std::nullopt : refuse(kMsgBathyDistanceRange);
}

SettingProblem segmentLengthProblem(double segment, double fetch) {
    // A segment of 0 m or less makes every wave energy 0.
    return segment > 0 && segment <= fetch ? std::nullopt : refuse(kMsgSegments);
}

SettingProblem segmentDistanceProblem(double distance) {
    // Below a metre the depth walk repeats the same cells at great cost.
    return within(distance, kMinSegmentDistance, kMaxFetch) ? std::nullopt : refuse(kMsgSegmentDistanceRange);
}

SettingProblem secondDistanceProblem(double distance) {
    return within(distance, kMinSegmentDistance, kMaxFetch) ? std::nullopt : refuse(kMsgSecondDistanceRange);
}

SettingProblem rayOptionProblem(double option) {
    return within(option, 0, 4) && option == std::floor(option) ? std::nullopt : refuse(kMsgRayOption);
}

SettingProblem fastAlgorithmProblem(double flag) {
    return flag == 0 || flag == 1 ? std::nullopt : refuse(kMsgFastAlgorithm);
}

SettingProblem godaProblem(double aGoda) {
    return aGoda > 0 && std::isfinite(aGoda) ? std::nullopt : refuse(kMsgGoda);
}

SettingProblem epsProblem(double n) {
    return n > 0 && std::isfinite(n) && std::isfinite(1 / n) ? std::nullopt : refuse(kMsgEps);
}

SettingProblem slopeProblem(double degrees) {
    // A slope of 90 degrees makes every site fail in the breaking stage.
    return degrees > 0 && degrees < 90 ? std::nullopt : refuse(kMsgSlope);
}

SettingProblem seaTemperatureProblem(double celsius) {
    return within(celsius, kMinSeaTemperature, kMaxSeaTemperature) ? std::nullopt : refuse(kMsgSeaTemperature);
}

SettingProblem seaSalinityProblem(double salinity) {
    return within(salinity, 0, kMaxSeaSalinity) ? std::nullopt : refuse(kMsgSeaSalinity);
}

SettingProblem sedimentDensityProblem(double density, double seaDensity) {
    if (!std::isfinite(density)) return refuse(kMsgDensityNotANumber);
    if (density > seaDensity) return std::nullopt;
    return "The sediment density must be greater than the density of the sea water (" +
           platform::formatNumber(platform::roundHalfEven(seaDensity, 2)) + " kg/m3): such a sediment would float.";
}

SettingProblem sedimentDiameterProblem(double diameter) {
    return std::isfinite(diameter) ? std::nullopt : refuse(kMsgDiameterNotANumber);
}

SettingProblem waterLevelProblem(double level) {
    return std::isfinite(static_cast<float>(level)) ? std::nullopt : refuse(kMsgWaterLevelNotANumber);
}

SettingProblem windCategoryProblem(double count, const std::array<double, 4>& bounds,
                                   const std::array<double, 5>& powers) {
    if (!(count == std::floor(count) && within(count, 1, kMaxWindCategories))) return refuse(kMsgCategoryCount);
    for (double p : powers)
        if (!(p >= 0 && std::isfinite(p))) return refuse(kMsgPowersAsNumbers);
    const int used = static_cast<int>(count) - 1;
    for (int i = 0; i < used; ++i)
        if (!(bounds[i] > (i == 0 ? 0 : bounds[i - 1]))) return refuse(kMsgBoundsIncrease);
    return std::nullopt;
}

}  // namespace quor::model
