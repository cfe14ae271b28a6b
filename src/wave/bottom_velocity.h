#pragma once
// Near-bed orbital velocity, bed shear stress and sediment motion of a site
// from its mean wave height and period: linear wave theory on one
// representative wave, or an estimated spectral analysis over a JONSWAP
// spectrum. Reads its settings from and writes its results to the model
// state; keeps nothing of its own between calls.
#include "model/model_state.h"

namespace quor::wave {

// Value the critical shear stress keeps when the sediment values cannot
// give one (the same value the results writer uses for a switched-off part).
inline constexpr double kNoCriticalStress = -999;

class bottom_velocity_cls {
public:
    explicit bottom_velocity_cls(model::ModelState& state) : s_(state) {}

    // Linear wave theory. wvht = mean height (m), wvpr = mean period (s),
    // depth = water depth at the site (m, positive downwards).
    void bottom_velocity(double wvht, float wvpr, float depth);

    // Hyperbolic cosine without the model's cap; overflow raises MathError.
    static double COSH1(double X);

    void sea_viscosity();
    void sea_density();
    // Critical shear stress of the sediment, compared with the bed shear
    // stress of the method that calls it.
    void taucrit(double bedShearStress);

    // Estimated spectral analysis, same arguments as bottom_velocity.
    void bottom_velocity_spectra(double wvht, float wvpr, float depth);

    // Number of frequencies of the spectral method and their step
    // (as a fraction of the peak frequency).
    static constexpr int kFrequencies = 481;
    static constexpr double kFrequencyStep = 0.01;

private:
    // A site without waves or without water: the method's results are 0,
    // nothing moves, and the critical stress is still reported.
    void noWaves(double& orbvel, double& shearvel, double& shearstress);

    model::ModelState& s_;
};

}  // namespace quor::wave
