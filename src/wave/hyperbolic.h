#pragma once
// The hyperbolic functions of the wave model and the wave number of the
// linear dispersion relation. The caps are part of the model (they are
// jumps, not limits of the formulas): every stage gets the capped values,
// so results match the model's published numbers. Overflow, division by
// zero and invalid logarithms raise MathError to the caller.

namespace quor::wave {

// 1 from 2.5 on, else (e^x - e^-x) / (e^x + e^-x).
double Tanh(double x);
// 100 above 5, else (e^x - e^-x) / 2.
double Sinh(double x);
// 100 above 5, else (e^x + e^-x) / 2.
double Cosh(double x);
// ln(|(1 + x) / (1 - x)|) / 2; also defined beyond |x| > 1. Atanh(1) divides
// by zero, Atanh(-1) takes the logarithm of zero.
double Atanh(double x);

// Wave number k with k0 = k Tanh(k h), by Newton iteration from
// k0 Tanh(k0 h): an absolute test on the start value, then at most 20 steps
// with a test relative to the new value; the 20th step is returned even
// when it has not met the test. A depth of 0 raises MathError.
double newton_k(double depth, double k0, double Eps);

struct NewtonResult {
    double k = 0;
    int steps = 0;  // Newton steps taken (0 when the start value was accepted)
};
NewtonResult newton_k_steps(double depth, double k0, double Eps);

}  // namespace quor::wave
