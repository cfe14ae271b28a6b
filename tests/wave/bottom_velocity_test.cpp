#include <gtest/gtest.h>

#include <cmath>

#include "model/model_state.h"
#include "wave/bottom_velocity.h"
#include "wave/checked_math.h"

using namespace quor;
using namespace quor::wave;

namespace {
model::ModelState seaState(float temp = 20) {
    model::ModelState s;
    s.sea_temp = temp;
    s.sea_salinity = 34.84f;
    s.sed_density = 2650;
    s.sed_diameter = 0.0002f;
    s.Eps = 0.001;
    return s;
}
}  // namespace

TEST(SeaProperties, DensityAndViscosityBandsBelongToTheLowerBand) {
    struct Case {
        float t;
        float dens;
        float visc;
    };
    const Case cases[] = {{-2, 1028, 0.001774f}, {0, 1028, 0.001774f},  {0.01f, 1028, 0.001446f},
                          {10, 1028, 0.001446f}, {10.5f, 1025, 0.00105f}, {20, 1025, 0.00105f},
                          {20.01f, 1023, 0.000822f}, {30, 1023, 0.000822f}, {35, 1019, 0.00072f}};
    for (const auto& c : cases) {
        auto s = seaState(c.t);
        bottom_velocity_cls bv(s);
        bv.sea_density();
        bv.sea_viscosity();
        EXPECT_EQ(s.sea_dens, c.dens) << c.t;
        EXPECT_EQ(s.sea_visc, c.visc) << c.t;
    }
    // Any other salinity leaves the viscosity as it was.
    auto s = seaState(35);
    s.sea_salinity = 35;
    bottom_velocity_cls bv(s);
    bv.sea_viscosity();
    EXPECT_EQ(s.sea_visc, 0);
    s.sea_visc = 0.5f;
    bv.sea_viscosity();
    EXPECT_EQ(s.sea_visc, 0.5f);
}

TEST(CriticalShearStress, ShieldsCriterion) {
    auto s = seaState(20);
    s.sea_dens = 1025;
    bottom_velocity_cls bv(s);
    bv.taucrit(0.5);
    EXPECT_NEAR(s.crit_shearstress, 0.17132, 5e-6);
    EXPECT_EQ(s.sed_motion, 1);
    bv.taucrit(0.1713);
    EXPECT_EQ(s.sed_motion, 0);
    // Equality counts as motion.
    const double crit = s.crit_shearstress;
    bv.taucrit(crit);
    EXPECT_EQ(s.sed_motion, 1);

    // Fine silt: S* below 0.8 takes the lower branch, a smooth continuation.
    s.sed_diameter = 0.00002f;
    bv.taucrit(0);
    EXPECT_GT(s.crit_shearstress, 0.05);
    EXPECT_LT(s.crit_shearstress, 0.2);
    EXPECT_EQ(s.sed_motion, 0);
}

TEST(CriticalShearStress, UncomputableSedimentIsSkipped) {
    // Values never entered, a zero diameter, sediment no denser than water.
    const std::pair<float, float> bad[] = {{0, 0}, {2650, 0}, {1025, 0.0002f}, {900, 0.0002f}, {2650, -0.001f}};
    for (auto [density, diameter] : bad) {
        auto s = seaState(20);
        s.sea_dens = 1025;
        s.sed_density = density;
        s.sed_diameter = diameter;
        s.sed_motion = 1;
        bottom_velocity_cls bv(s);
        EXPECT_NO_THROW(bv.taucrit(10)) << density << " " << diameter;
        EXPECT_EQ(s.crit_shearstress, -999);
        EXPECT_EQ(s.sed_motion, 0);
    }
}

TEST(LinearWaveTheory, VelocityStressAndBranches) {
    // Reference values from an independent computation of the same model.
    struct Case {
        double H;
        float T, h;
        double orbvel, shearstress, shearvel;
    };
    const Case cases[] = {
        {0.5, 4, 3, 0.336783, 0.388490, 0.0194683},
        {1.2, 6, 10, 0.370805, 0.429964, 0.0204811},
        {0.3, 3, 1.0, 0.398987, 0.793004, 0.0278148},  // 1 m: u1 is the amplitude itself
        {0.2, 2.5, 0.5, 0.394981, 1.029954, 0.0316991},  // extrapolated above the water
    };
    for (const auto& c : cases) {
        auto s = seaState(20);
        bottom_velocity_cls bv(s);
        bv.bottom_velocity(c.H, c.T, c.h);
        EXPECT_NEAR(s.lwt_orbvel, c.orbvel, c.orbvel * 1e-5) << c.h;
        EXPECT_NEAR(s.lwt_shearstress, c.shearstress, c.shearstress * 1e-5) << c.h;
        EXPECT_NEAR(s.lwt_shearvel, c.shearvel, c.shearvel * 1e-5) << c.h;
        EXPECT_EQ(s.sea_dens, 1025);
        EXPECT_EQ(s.sea_visc, 0.00105f);
        EXPECT_NEAR(s.crit_shearstress, 0.17132, 5e-6);
        EXPECT_EQ(s.sed_motion, s.lwt_shearstress >= s.crit_shearstress ? 1 : 0);
    }
    // Depth 1 m: the shear stress is that of the velocity amplitude H g T / (2 L).
    auto s = seaState(20);
    bottom_velocity_cls bv(s);
    bv.bottom_velocity(0.3, 3, 1.0);
    EXPECT_NEAR(s.lwt_shearstress, static_cast<double>(0.003f * 1025.0f) * 0.507826 * 0.507826, 1e-5);
    // The spectral results are not touched by this method.
    EXPECT_EQ(s.esa_orbvel, 0);
}

TEST(LinearWaveTheory, CalmDryAndVeryDeepSitesGiveNoMotion) {
    struct Case {
        double H;
        float T, h;
    };
    const Case calm[] = {{0, 0, 5}, {0.4, 0, 5}, {0, 4, 5}, {0.4, 4, 0}, {0.4, 4, -2}};
    for (const auto& c : calm) {
        auto s = seaState(20);
        s.lwt_orbvel = s.lwt_shearvel = s.lwt_shearstress = 7;
        s.sed_motion = 1;
        bottom_velocity_cls bv(s);
        ASSERT_NO_THROW(bv.bottom_velocity(c.H, c.T, c.h)) << c.H << " " << c.T << " " << c.h;
        EXPECT_EQ(s.lwt_orbvel, 0);
        EXPECT_EQ(s.lwt_shearvel, 0);
        EXPECT_EQ(s.lwt_shearstress, 0);
        EXPECT_EQ(s.sed_motion, 0);
        EXPECT_NEAR(s.crit_shearstress, 0.17132, 5e-6);
    }
    // A short wave over very deep water: the bed does not feel it, and the
    // run goes on.
    auto s = seaState(20);
    bottom_velocity_cls bv(s);
    ASSERT_NO_THROW(bv.bottom_velocity(0.2, 1.5f, 1500));
    EXPECT_TRUE(std::isfinite(s.lwt_orbvel));
    EXPECT_LT(s.lwt_orbvel, 1e-100);
    EXPECT_EQ(s.sed_motion, 0);
}

TEST(SpectralMethod, VelocityStressAndDeepWaterTransfer) {
    struct Case {
        double H;
        float T, h;
        double orbvel, shearstress, shearvel;
    };
    const Case cases[] = {
        {0.5, 4, 3, 0.214215, 1.175878, 0.0338703},
        {0.3, 3, 1.0, 0.262301, 1.763051, 0.0414735},
        {0.2, 2.5, 0.5, 0.264156, 1.788071, 0.0417667},
        {1.2, 6, 10, 0.230432, 1.360660, 0.0364345},
        // Deep water: the capped Sinh keeps a small transfer instead of none.
        {0.4, 2, 200, 0.00560508, 0.000805058, 0.000886241},
    };
    for (const auto& c : cases) {
        auto s = seaState(20);
        bottom_velocity_cls bv(s);
        bv.bottom_velocity_spectra(c.H, c.T, c.h);
        EXPECT_NEAR(s.esa_orbvel, c.orbvel, c.orbvel * 1e-4) << c.h;
        EXPECT_NEAR(s.esa_shearstress, c.shearstress, c.shearstress * 2e-4) << c.h;
        EXPECT_NEAR(s.esa_shearvel, c.shearvel, c.shearvel * 1e-4) << c.h;
        EXPECT_EQ(s.sed_motion, s.esa_shearstress >= s.crit_shearstress ? 1 : 0);
        EXPECT_EQ(s.lwt_orbvel, 0);
    }
}

TEST(SpectralMethod, DrySiteKeepsTheSedimentVerdictCalmSiteHasNoMotion) {
    auto s = seaState(5);
    s.crit_shearstress = 0.42;
    s.sed_motion = 1;
    s.sea_dens = 1000;
    s.sea_visc = 0.002f;
    s.esa_orbvel = s.esa_shearvel = s.esa_shearstress = -9991;
    bottom_velocity_cls bv(s);
    bv.bottom_velocity_spectra(0.4, 3, 0);
    EXPECT_EQ(s.esa_orbvel, 0);
    EXPECT_EQ(s.esa_shearvel, 0);
    EXPECT_EQ(s.esa_shearstress, 0);
    EXPECT_EQ(s.crit_shearstress, 0.42);
    EXPECT_EQ(s.sed_motion, 1);
    EXPECT_EQ(s.sea_dens, 1000);
    EXPECT_EQ(s.sea_visc, 0.002f);

    struct Case {
        double H;
        float T, h;
    };
    const Case calm[] = {{0, 0, 5}, {0.4, 0, 5}, {0, 4, 5}, {0.4, 4, -2}, {0, 0, -0.5f}};
    for (const auto& c : calm) {
        auto t = seaState(20);
        t.sed_motion = 1;
        t.esa_orbvel = 3;
        bottom_velocity_cls b(t);
        ASSERT_NO_THROW(b.bottom_velocity_spectra(c.H, c.T, c.h)) << c.H << " " << c.T << " " << c.h;
        EXPECT_EQ(t.esa_orbvel, 0);
        EXPECT_EQ(t.esa_shearvel, 0);
        EXPECT_EQ(t.esa_shearstress, 0);
        EXPECT_EQ(t.sed_motion, 0);
        EXPECT_EQ(t.sea_dens, 1025);
        EXPECT_NEAR(t.crit_shearstress, 0.17132, 5e-6);
    }
}

TEST(BottomVelocity, UnsizedSedimentStillGivesVelocities) {
    auto s = seaState(20);
    s.sed_density = 0;
    s.sed_diameter = 0;
    bottom_velocity_cls bv(s);
    ASSERT_NO_THROW(bv.bottom_velocity(0.5, 4, 3));
    EXPECT_NEAR(s.lwt_orbvel, 0.336783, 1e-5);
    EXPECT_EQ(s.crit_shearstress, -999);
    EXPECT_EQ(s.sed_motion, 0);
    ASSERT_NO_THROW(bv.bottom_velocity_spectra(0.5, 4, 3));
    EXPECT_NEAR(s.esa_orbvel, 0.214215, 1e-5);
    EXPECT_EQ(s.crit_shearstress, -999);
    EXPECT_EQ(bottom_velocity_cls::COSH1(0), 1);
    EXPECT_NEAR(bottom_velocity_cls::COSH1(6), 201.7156, 1e-4);  // no cap
    EXPECT_THROW(bottom_velocity_cls::COSH1(710), MathError);
}
