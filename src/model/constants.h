#pragma once
// The model's physical and geometric constants, one home for each. Both
// values of pi are deliberate: earlier results depend on them, so neither
// is replaced by the exact value.
namespace quor::model {

// Pi as every formula of the wave model takes it: growth, dispersion,
// breaking, the effective-fetch window, the near-bed velocity.
inline constexpr double kFormulaPi = 3.1416;

// Pi as the ray fans and the effective-fetch rays are drawn; the stored
// end points of every ray depend on it.
inline constexpr double kDrawingPi = 3.14159;

// Gravitational acceleration, m/s².
inline constexpr double kGravity = 9.81;

}  // namespace quor::model
