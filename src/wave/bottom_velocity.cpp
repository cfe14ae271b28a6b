#include "wave/bottom_velocity.h"

#include <cmath>

#include "model/constants.h"
#include "wave/checked_math.h"
#include "wave/hyperbolic.h"

namespace quor::wave {

namespace {
using model::kFormulaPi;
using model::kGravity;

// cosh(a) / cosh(b) for a, b >= 0 held as a single. Where cosh(b) is
// beyond a double (very deep water for a short wave) the ratio is taken
// through exponent differences: the velocity is then practically 0, and
// a deep site is no reason to end the run.
float coshRatio(double a, double b) {
    if (std::fabs(b) < 700 && std::fabs(a) < 700)
        return csingle(cdiv(bottom_velocity_cls::COSH1(a), bottom_velocity_cls::COSH1(b)));
    a = std::fabs(a);
    b = std::fabs(b);
    const double r = std::exp(a - b) * (1 + std::exp(-2 * a)) / (1 + std::exp(-2 * b));
    return csingle(r);
}

// a / cosh(b): the velocity amplitude brought down to the bed, practically
// 0 where cosh(b) is beyond a double.
double overCosh(double a, double b) {
    if (std::fabs(b) < 700) return cdiv(a, bottom_velocity_cls::COSH1(b));
    return a * 2 * std::exp(-std::fabs(b));
}
}  // namespace

double bottom_velocity_cls::COSH1(double X) { return checked((cexp(X) + cexp(-X)) / 2); }

void bottom_velocity_cls::sea_density() {
    const float t = s_.sea_temp;
    if (t <= 10)
        s_.sea_dens = 1028;
    else if (t <= 20)
        s_.sea_dens = 1025;
    else if (t <= 30)
        s_.sea_dens = 1023;
    else
        s_.sea_dens = 1019;
}

void bottom_velocity_cls::sea_viscosity() {
    // Only the standard salinity has a table; other salinities keep the
    // previous value.
    if (s_.sea_salinity != 34.84f) return;
    const float t = s_.sea_temp;
    double mpas;
    if (t <= 0)
        mpas = 1.774;
    else if (t <= 10)
        mpas = 1.446;
    else if (t <= 20)
        mpas = 1.05;
    else if (t <= 30)
        mpas = 0.822;
    else
        mpas = 0.72;
    s_.sea_visc = csingle(mpas / 1000);
}

void bottom_velocity_cls::taucrit(double bedShearStress) {
    const double d = s_.sed_diameter;
    // Sediment values that give no critical stress (not entered yet, or a
    // sediment no denser than the water): report none and no motion rather
    // than end the run.
    const bool usable = d > 0 && s_.sea_dens > 0 && s_.sed_density > s_.sea_dens;
    const float rel = usable ? s_.sed_density / s_.sea_dens : 0.0f;
    if (!usable || !(rel > 1) || !std::isfinite(rel)) {
        s_.crit_shearstress = kNoCriticalStress;
        s_.sed_motion = 0;
        return;
    }
    const double t = s_.sea_temp;
    const double nu = (1.14 - 0.031 * (t - 15) + 0.00068 * ((t - 15) * (t - 15))) * 1e-6;
    const double sub = csqrt(checked((static_cast<double>(rel) - 1) * kGravity * d));
    const double sstar = checked(cdiv(d, 4 * nu) * sub);
    double theta;
    if (sstar >= 0.8)
        theta = 0.095 * cpow(sstar, -2.0 / 3.0) + 0.056 * (1 - cexp(-cpow(sstar, 3.0 / 4.0) / 20));
    else
        theta = 0.1 * cpow(sstar, -2.0 / 7.0);
    const double ucr = checked(csqrt(theta) * sub);
    s_.crit_shearstress = checked(static_cast<double>(s_.sea_dens) * (ucr * ucr));
    s_.sed_motion = s_.crit_shearstress <= bedShearStress ? 1 : 0;
}

void bottom_velocity_cls::noWaves(double& orbvel, double& shearvel, double& shearstress) {
    orbvel = 0;
    shearvel = 0;
    shearstress = 0;
    sea_density();
    sea_viscosity();
    taucrit(0);
    s_.sed_motion = 0;
}

void bottom_velocity_cls::bottom_velocity(double wvht, float wvpr, float depth) {
    const double H = wvht, T = wvpr, h = depth;
    // No waves (the driver gives a calm site period 0) or no water: nothing
    // to transfer to the bed, and the formulas below would divide by zero.
    if (!(T > 0) || !(H > 0) || !(h > 0)) {
        noWaves(s_.lwt_orbvel, s_.lwt_shearvel, s_.lwt_shearstress);
        return;
    }
    const float L0 = csingle(cdiv(kGravity * (T * T), 2 * kFormulaPi));
    const float k0 = csingle(cdiv(2 * kFormulaPi, L0));
    const float k = csingle(newton_k(h, k0, s_.Eps));
    const double L = cdiv(2 * kFormulaPi, k);
    const double A = cdiv(H * kGravity * T, 2 * L);

    const double bottomArg = cdiv(2 * kFormulaPi * h, L);
    double u1;
    if (h >= 1) {
        u1 = A * coshRatio(cdiv(2 * kFormulaPi * 1, L), bottomArg);
    } else {
        // 1 m above the bed is above the water: extrapolate linearly from the
        // surface and mid-depth velocities.
        const float hh = static_cast<float>(h);
        const float half = hh / 2;
        const double us = A * coshRatio(bottomArg, bottomArg);
        const double um = A * coshRatio(cdiv(2 * kFormulaPi * half, L), bottomArg);
        u1 = us + cdiv(us - um, static_cast<double>(hh - half)) * static_cast<double>(1 - hh);
    }
    s_.lwt_orbvel = checked(overCosh(A * COSH1(0), bottomArg));

    sea_density();
    sea_viscosity();
    const float factor = csingle(3.0 / 1000) * s_.sea_dens;
    s_.lwt_shearstress = checked(static_cast<double>(factor) * (u1 * u1));
    s_.lwt_shearvel = csqrt(std::fabs(cdiv(s_.lwt_shearstress, s_.sea_dens)));
    taucrit(s_.lwt_shearstress);
}

void bottom_velocity_cls::bottom_velocity_spectra(double wvht, float wvpr, float depth) {
    const double H = wvht, T = wvpr, h = depth;
    // A dry site, or one without waves: nothing reaches the bed. The verdict
    // is "no motion" rather than whatever the previous site left behind.
    if (!(T > 0) || !(H > 0) || !(h > 0)) {
        noWaves(s_.esa_orbvel, s_.esa_shearvel, s_.esa_shearstress);
        return;
    }
    const double m0 = H * H / 16;
    const float fp = csingle(cdiv(1, T));
    const double df = kFrequencyStep * fp;

    float r[kFrequencies], f[kFrequencies], kh[kFrequencies], G[kFrequencies], shape[kFrequencies];
    double N = 0;
    for (int i = 1; i <= kFrequencies; ++i) {
        const int j = i - 1;
        r[j] = csingle(0.2 + kFrequencyStep * i);
        f[j] = csingle(static_cast<double>(r[j]) * fp);

        const double w = 2 * kFormulaPi * f[j];
        const double x = checked(w * w * h / kGravity);
        double y = x < 1 ? csqrt(x) : x;
        for (int step = 0; step < 3; ++step) {
            const double t = Tanh(y);
            y = checked(y - cdiv(y * t - x, (1 - t * t) * y + t));
        }
        kh[j] = csingle(y);

        const double ri = r[j];
        const double sigma = ri <= 1 ? 0.07 : 0.09;
        G[j] = csingle(cpow(3.3, cexp(-cdiv((ri - 1) * (ri - 1), 2 * sigma * sigma))));
        shape[j] = csingle(cpow(ri, -5) * cexp(-1.25 * cpow(ri, -4)) * G[j]);
        N += static_cast<double>(shape[j]) * kFrequencyStep;
    }

    const double scale = cdiv(m0 * cpow(fp, 4), N);
    double m0u = 0;
    for (int j = 0; j < kFrequencies; ++j) {
        const double ri = r[j];
        const float S = csingle(scale * cpow(f[j], -5) * cexp(-1.25 * cpow(ri, -4)) * G[j]);
        const double transfer = cdiv(2 * kFormulaPi * f[j], Sinh(kh[j]));
        const float Su = csingle(transfer * transfer * S);
        m0u += static_cast<double>(Su) * df;
    }
    s_.esa_orbvel = csqrt(checked(2 * m0u));

    sea_density();
    sea_viscosity();
    const double fw = 0.05;
    s_.esa_shearstress = checked((fw / 2) * s_.sea_dens * (s_.esa_orbvel * s_.esa_orbvel));
    s_.esa_shearvel = csqrt(std::fabs(cdiv(s_.esa_shearstress, s_.sea_dens)));
    taucrit(s_.esa_shearstress);
}

}  // namespace quor::wave
