#include <gtest/gtest.h>

#include <cmath>

#include "wave/checked_math.h"
#include "wave/hyperbolic.h"

using namespace quor::wave;

TEST(Hyperbolic, CapsAreJumpsOnPositiveArgumentsOnly) {
    struct Case {
        double (*fn)(double);
        const char* name;
        double x, expected, tol;
    };
    const Case cases[] = {
        {Tanh, "Tanh", 2.4999, 0.98661, 5e-6},  {Tanh, "Tanh", 2.5, 1, 0},
        {Tanh, "Tanh", 100, 1, 0},              {Tanh, "Tanh", -3, -0.995055, 5e-7},
        {Tanh, "Tanh", 0, 0, 0},                {Tanh, "Tanh", -50, -1, 1e-15},
        {Sinh, "Sinh", 5, 74.2032, 5e-5},       {Sinh, "Sinh", 5.0001, 100, 0},
        {Sinh, "Sinh", -6, -201.713, 5e-4},     {Sinh, "Sinh", 0, 0, 0},
        {Cosh, "Cosh", 5, 74.2099, 5e-5},       {Cosh, "Cosh", 5.0001, 100, 0},
        {Cosh, "Cosh", -6, 201.716, 5e-4},      {Cosh, "Cosh", 0, 1, 0},
        {Atanh, "Atanh", 0.5, 0.549306, 5e-7},  {Atanh, "Atanh", 2, 0.549306, 5e-7},
        {Atanh, "Atanh", -0.5, -0.549306, 5e-7}, {Atanh, "Atanh", 0, 0, 0},
    };
    for (const auto& c : cases) EXPECT_NEAR(c.fn(c.x), c.expected, c.tol) << c.name << "(" << c.x << ")";
    // Just below the cap the formula still applies, so the jump is visible.
    EXPECT_LT(Tanh(std::nextafter(2.5, 0)), 0.9867);
    EXPECT_LT(Sinh(5), 75);
}

TEST(Hyperbolic, ErrorsReachTheCaller) {
    EXPECT_THROW(Tanh(-710), MathError);
    EXPECT_THROW(Sinh(-710), MathError);
    EXPECT_THROW(Cosh(-710), MathError);
    EXPECT_NO_THROW(Tanh(-709));
    EXPECT_THROW(Atanh(1), MathError);   // 2 / 0
    EXPECT_THROW(Atanh(-1), MathError);  // log of 0
}

TEST(WaveNumber, SolvesTheDispersionRelation) {
    // An 8 s wave in 10 m of water: k0 from the model's pi.
    const double k0 = 2 * 3.1416 / (9.81 * 64 / (2 * 3.1416));
    EXPECT_NEAR(k0, 0.06288, 5e-6);
    const auto r = newton_k_steps(10, 0.06288, 0.001);
    EXPECT_EQ(r.steps, 4);
    EXPECT_NEAR(r.k, 0.088623, 0.088623 * 0.001);
    EXPECT_EQ(newton_k(10, 0.06288, 0.001), r.k);
    EXPECT_NEAR(0.06288, r.k * std::tanh(r.k * 10), 0.06288 * 0.002);

    // Deep water: the capped Tanh makes the start value k0 itself.
    const auto deep = newton_k_steps(20, 0.447, 0.001);
    EXPECT_EQ(deep.steps, 0);
    EXPECT_EQ(deep.k, 0.447);

    // A tighter tolerance takes more steps to a closer root.
    const auto tight = newton_k_steps(10, 0.06288, 1e-9);
    EXPECT_GT(tight.steps, r.steps);
    EXPECT_NEAR(tight.k * std::tanh(tight.k * 10), 0.06288, 1e-9);

    // Shallow water: the relation holds within the tolerance asked for.
    const double ks = newton_k(0.5, 0.06288, 0.0001);
    EXPECT_NEAR(ks * std::tanh(ks * 0.5), 0.06288, 1e-5);
}

TEST(WaveNumber, LimitsAndFailures) {
    // Eps so small that no step meets it: the 20th step is returned silently.
    const auto r = newton_k_steps(10, 0.06288, 0);
    EXPECT_EQ(r.steps, 20);
    EXPECT_NEAR(r.k, 0.088623, 0.0001);
    // Depth 0 divides 0 by 0 in the first step.
    EXPECT_THROW(newton_k(0, 0.06288, 0.001), MathError);
    // A start value already within Eps of k0 is returned without a step.
    EXPECT_EQ(newton_k_steps(0, 0.0005, 0.001).steps, 0);
}
