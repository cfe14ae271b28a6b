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
constexpr double kCrit20 = 0.17132;  // 0.2 mm quartz sand at 20 degrees
}  // namespace

TEST(SeaProperties, DensityAndViscosityBandsBelongToTheLowerBand) {
    struct Case {
        float t, dens, visc;
    };
    const Case cases[] = {{-2, 1028, 0.001774f},     {0, 1028, 0.001774f},     {0.01f, 1028, 0.001446f},
                          {10, 1028, 0.001446f},     {10.5f, 1025, 0.00105f},  {20, 1025, 0.00105f},
                          {20.01f, 1023, 0.000822f}, {30, 1023, 0.000822f},    {35, 1019, 0.00072f}};
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

TEST(CriticalShearStress, ShieldsCriterionAndEqualityCountsAsMotion) {
    auto s = seaState(20);
    s.sea_dens = 1025;
    bottom_velocity_cls bv(s);
    bv.taucrit(0.5);
    EXPECT_NEAR(s.crit_shearstress, kCrit20, 5e-6);
    EXPECT_EQ(s.sed_motion, 1);
    bv.taucrit(0.1713);
    EXPECT_EQ(s.sed_motion, 0);
    bv.taucrit(s.crit_shearstress);
    EXPECT_EQ(s.sed_motion, 1);
    // Fine silt: S* below 0.8 takes the lower branch.
    s.sed_diameter = 0.00002f;
    bv.taucrit(0);
    EXPECT_GT(s.crit_shearstress, 0.05);
    EXPECT_LT(s.crit_shearstress, 0.2);
    EXPECT_EQ(s.sed_motion, 0);
}

TEST(CriticalShearStress, UncomputableSedimentIsSkippedAndVelocitiesStillCome) {
    // Values never entered, a zero diameter, sediment no denser than water.
    const std::pair<float, float> bad[] = {{0, 0}, {2650, 0}, {1025, 0.0002f}, {900, 0.0002f}, {2650, -0.001f}};
    for (auto [density, diameter] : bad) {
        auto s = seaState(20);
        s.sed_density = density;
        s.sed_diameter = diameter;
        s.sed_motion = 1;
        bottom_velocity_cls bv(s);
        ASSERT_NO_THROW(bv.bottom_velocity(0.5, 4, 3)) << density << " " << diameter;
        EXPECT_NEAR(s.lwt_orbvel, 0.336783, 1e-5);
        EXPECT_EQ(s.crit_shearstress, -999);
        EXPECT_EQ(s.sed_motion, 0);
        ASSERT_NO_THROW(bv.bottom_velocity_spectra(0.5, 4, 3));
        EXPECT_NEAR(s.esa_orbvel, 0.214215, 1e-5);
        EXPECT_EQ(s.crit_shearstress, -999);
        EXPECT_EQ(s.sed_motion, 0);
    }
}

// Reference values from an independent computation of the same model,
// single-precision steps included.
TEST(BottomVelocity, BothMethodsOnWorkedSites) {
    struct Case {
        bool spectral;
        double H;
        float T, h;
        double orbvel, shearstress, shearvel;
    };
    const Case cases[] = {
        {false, 0.5, 4, 3, 0.336783, 0.388490, 0.0194683},
        {false, 1.2, 6, 10, 0.370805, 0.429964, 0.0204811},
        {false, 0.3, 3, 1.0, 0.398987, 0.793004, 0.0278148},   // 1 m: u1 is the amplitude itself
        {false, 0.2, 2.5, 0.5, 0.394981, 1.029954, 0.0316991}, // extrapolated above the water
        {true, 0.5, 4, 3, 0.214215, 1.175878, 0.0338703},
        {true, 0.3, 3, 1.0, 0.262301, 1.763051, 0.0414735},
        {true, 0.2, 2.5, 0.5, 0.264156, 1.788071, 0.0417667},
        {true, 1.2, 6, 10, 0.230432, 1.360660, 0.0364345},
        {true, 0.4, 2, 200, 0.00560508, 0.000805058, 0.000886241},  // capped Sinh keeps a transfer
    };
    for (const auto& c : cases) {
        auto s = seaState(20);
        bottom_velocity_cls bv(s);
        if (c.spectral)
            bv.bottom_velocity_spectra(c.H, c.T, c.h);
        else
            bv.bottom_velocity(c.H, c.T, c.h);
        const double orb = c.spectral ? s.esa_orbvel : s.lwt_orbvel;
        const double tau = c.spectral ? s.esa_shearstress : s.lwt_shearstress;
        const double vel = c.spectral ? s.esa_shearvel : s.lwt_shearvel;
        EXPECT_NEAR(orb, c.orbvel, c.orbvel * 1e-4) << c.spectral << " " << c.h;
        EXPECT_NEAR(tau, c.shearstress, c.shearstress * 2e-4) << c.spectral << " " << c.h;
        EXPECT_NEAR(vel, c.shearvel, c.shearvel * 1e-4) << c.spectral << " " << c.h;
        EXPECT_EQ(c.spectral ? s.lwt_orbvel : s.esa_orbvel, 0);  // the other method is untouched
        EXPECT_EQ(s.sea_dens, 1025);
        EXPECT_EQ(s.sea_visc, 0.00105f);
        EXPECT_NEAR(s.crit_shearstress, kCrit20, 5e-6);
        EXPECT_EQ(s.sed_motion, tau >= s.crit_shearstress ? 1 : 0);
    }
}

TEST(BottomVelocity, CalmAndDrySitesGiveNoMotionInsteadOfEndingTheRun) {
    struct Case {
        double H;
        float T, h;
    };
    const Case calm[] = {{0, 0, 5}, {0.4, 0, 5}, {0, 4, 5}, {0.4, 4, -2}, {0, 0, -0.5f}};
    for (bool spectral : {false, true}) {
        for (const auto& c : calm) {
            auto s = seaState(20);
            s.sed_motion = 1;
            s.lwt_orbvel = s.esa_orbvel = 3;
            bottom_velocity_cls bv(s);
            ASSERT_NO_THROW(spectral ? bv.bottom_velocity_spectra(c.H, c.T, c.h) : bv.bottom_velocity(c.H, c.T, c.h))
                << spectral << " " << c.H << " " << c.T << " " << c.h;
            EXPECT_EQ(spectral ? s.esa_orbvel : s.lwt_orbvel, 0);
            EXPECT_EQ(spectral ? s.esa_shearvel : s.lwt_shearvel, 0);
            EXPECT_EQ(spectral ? s.esa_shearstress : s.lwt_shearstress, 0);
            EXPECT_EQ(s.sed_motion, 0);
            EXPECT_EQ(s.sea_dens, 1025);
            EXPECT_NEAR(s.crit_shearstress, kCrit20, 5e-6);
        }
    }
    // Linear theory at depth 0 is dry as well.
    auto s = seaState(20);
    bottom_velocity_cls bv(s);
    ASSERT_NO_THROW(bv.bottom_velocity(0.4, 4, 0));
    EXPECT_EQ(s.lwt_shearstress, 0);

    // The spectral method at depth 0 gives no motion either, not the
    // previous site's verdict.
    auto t = seaState(5);
    t.crit_shearstress = 0.42;
    t.sed_motion = 1;
    t.esa_orbvel = t.esa_shearvel = t.esa_shearstress = -9991;
    bottom_velocity_cls spec(t);
    spec.bottom_velocity_spectra(0.4, 3, 0);
    EXPECT_EQ(t.esa_orbvel, 0);
    EXPECT_EQ(t.esa_shearvel, 0);
    EXPECT_EQ(t.esa_shearstress, 0);
    EXPECT_EQ(t.sed_motion, 0);
    EXPECT_NE(t.crit_shearstress, 0.42);
}

TEST(BottomVelocity, ShortWaveOverVeryDeepWaterIsNotFeltAtTheBed) {
    auto s = seaState(20);
    bottom_velocity_cls bv(s);
    ASSERT_NO_THROW(bv.bottom_velocity(0.2, 1.5f, 1500));
    EXPECT_LT(s.lwt_orbvel, 1e-100);
    EXPECT_EQ(s.sed_motion, 0);
    EXPECT_NEAR(bottom_velocity_cls::COSH1(6), 201.7156, 1e-4);  // no cap
    EXPECT_THROW(bottom_velocity_cls::COSH1(710), MathError);
}
