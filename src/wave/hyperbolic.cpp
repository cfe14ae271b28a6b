#include "wave/hyperbolic.h"

#include <cmath>

#include "wave/checked_math.h"

namespace quor::wave {

double Tanh(double x) {
    if (x >= 2.5) return 1;
    const double ep = cexp(x), em = cexp(-x);
    return cdiv(ep - em, ep + em);
}

double Sinh(double x) {
    if (x > 5) return 100;
    return checked((cexp(x) - cexp(-x)) / 2);
}

double Cosh(double x) {
    if (x > 5) return 100;
    return checked((cexp(x) + cexp(-x)) / 2);
}

double Atanh(double x) {
    return clog(std::fabs(cdiv(1 + x, 1 - x))) / 2;
}

NewtonResult newton_k_steps(double h, double k0, double Eps) {
    double k = checked(k0 * Tanh(checked(k0 * h)));
    if (std::fabs(k - k0) < Eps) return {k, 0};
    double k_new = k;
    for (int step = 1; step <= 20; ++step) {
        const double kh = checked(k * h);
        const double t = Tanh(kh);
        const double F = checked(h * k0 - kh * t);
        const double D = checked(-h * (t + cdiv(kh, cpow(Cosh(kh), 2))));
        k_new = checked(k - cdiv(F, D));
        if (cdiv(std::fabs(k_new - k), k_new) < Eps) return {k_new, step};
        k = k_new;
    }
    return {k_new, 20};
}

double newton_k(double depth, double k0, double Eps) {
    return newton_k_steps(depth, k0, Eps).k;
}

}  // namespace quor::wave
