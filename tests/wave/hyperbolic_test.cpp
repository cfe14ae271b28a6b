#include <gtest/gtest.h>

#include <cmath>

#include "wave/checked_math.h"
#include "wave/hyperbolic.h"

using namespace quor::wave;

TEST(Hyperbolic, CapsAreJumpsOnPositiveArgumentsOnlyAndErrorsReachTheCaller) {
    struct Case {
        double (*fn)(double);
        double x, expected, tol;
    };
    const Case cases[] = {
        {Tanh, 2.4999, 0.98661, 5e-6},  {Tanh, 2.5, 1, 0},          {Tanh, -3, -0.995055, 5e-7},
        {Sinh, 5, 74.2032, 5e-5},       {Sinh, 5.0001, 100, 0},     {Sinh, -6, -201.713, 5e-4},
        {Cosh, 5, 74.2099, 5e-5},       {Cosh, 5.0001, 100, 0},     {Cosh, -6, 201.716, 5e-4},
        {Atanh, 0.5, 0.549306, 5e-7},   {Atanh, 2, 0.549306, 5e-7}, {Atanh, -0.5, -0.549306, 5e-7},
    };
    for (const auto& c : cases) EXPECT_NEAR(c.fn(c.x), c.expected, c.tol) << c.x;

    EXPECT_THROW(Tanh(-710), MathError);  // e^-x overflows
    EXPECT_THROW(Sinh(-710), MathError);
    EXPECT_THROW(Cosh(-710), MathError);
    EXPECT_THROW(Atanh(1), MathError);   // 2 / 0
    EXPECT_THROW(Atanh(-1), MathError);  // log of 0
}

TEST(WaveNumber, SolvesTheDispersionRelationWithinTwentySteps) {
    // An 8 s wave in 10 m of water, k0 from the model's pi.
    EXPECT_NEAR(2 * 3.1416 / (9.81 * 64 / (2 * 3.1416)), 0.06288, 5e-6);
    const auto r = newton_k_steps(10, 0.06288, 0.001);
    EXPECT_EQ(r.steps, 4);
    EXPECT_NEAR(r.k, 0.088623, 0.088623 * 0.001);
    EXPECT_EQ(newton_k(10, 0.06288, 0.001), r.k);

    // Deep water: the capped Tanh makes the start value k0 itself.
    const auto deep = newton_k_steps(20, 0.447, 0.001);
    EXPECT_EQ(deep.steps, 0);
    EXPECT_EQ(deep.k, 0.447);

    // A tolerance no step can meet: the 20th step is returned silently.
    const auto last = newton_k_steps(10, 0.06288, 0);
    EXPECT_EQ(last.steps, 20);
    EXPECT_NEAR(last.k, 0.088623, 0.0001);

    // Depth 0 divides 0 by 0 in the first step.
    EXPECT_THROW(newton_k(0, 0.06288, 0.001), MathError);
}
