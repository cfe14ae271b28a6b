#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "wave/checked_math.h"

using namespace quor::wave;

namespace {
template <class Fn>
std::string errorOf(Fn&& fn) {
    try {
        fn();
    } catch (const MathError& e) {
        return e.what();
    }
    return "no error";
}
}  // namespace

TEST(CheckedMath, RaisesWhereTheFormulasHaveNoValue) {
    EXPECT_EQ(errorOf([] { cdiv(5, 0); }), "Division by zero");
    EXPECT_EQ(errorOf([] { cdiv(-5, 0); }), "Division by zero");
    EXPECT_EQ(errorOf([] { cdiv(0, 0); }), "Overflow");
    EXPECT_EQ(errorOf([] { cdiv(1e308, 1e-308); }), "Overflow");
    EXPECT_EQ(errorOf([] { cpow(-8, 1.0 / 3.0); }), "Invalid procedure call or argument");
    EXPECT_EQ(errorOf([] { cpow(0, -0.5); }), "Division by zero");
    EXPECT_EQ(errorOf([] { cpow(10, 400); }), "Overflow");
    EXPECT_EQ(errorOf([] { csqrt(-1e-12); }), "Invalid procedure call or argument");
    EXPECT_EQ(errorOf([] { clog(0); }), "Invalid procedure call or argument");
    EXPECT_EQ(errorOf([] { clog(-2); }), "Invalid procedure call or argument");
    EXPECT_EQ(errorOf([] { cexp(709.79); }), "Overflow");
    EXPECT_EQ(errorOf([] { cint16(32767.5); }), "Overflow");
    EXPECT_EQ(errorOf([] { cint16(-32769); }), "Overflow");
    EXPECT_EQ(errorOf([] { csingle(1e39); }), "Overflow");
    EXPECT_EQ(errorOf([] { checked(std::nan("")); }), "Invalid procedure call or argument");
    EXPECT_EQ(errorOf([] { checked(-std::numeric_limits<double>::infinity()); }), "Overflow");
    // A NaN argument never slips through a helper.
    EXPECT_EQ(errorOf([] { cdiv(std::nan(""), 1); }), "Invalid procedure call or argument");
}

TEST(CheckedMath, GivesOrdinaryValuesWhereTheyExist) {
    EXPECT_DOUBLE_EQ(cdiv(0, 5), 0);
    EXPECT_DOUBLE_EQ(cdiv(1, -4), -0.25);
    EXPECT_DOUBLE_EQ(cpow(-2, 3), -8);  // negative base, whole exponent
    EXPECT_DOUBLE_EQ(cpow(0, 0), 1);
    EXPECT_DOUBLE_EQ(cpow(4, -0.5), 0.5);
    EXPECT_DOUBLE_EQ(csqrt(0), 0);
    EXPECT_NEAR(clog(std::exp(2.0)), 2, 1e-15);
    EXPECT_NEAR(cexp(-745.2), 0, 1e-300);  // underflow is a plain 0
    EXPECT_NEAR(cexp(709.7), 1.65e308, 0.01e308);
    // 16-bit conversion rounds half to even at the edges of its range.
    EXPECT_EQ(cint16(2.5), 2);
    EXPECT_EQ(cint16(3.5), 4);
    EXPECT_EQ(cint16(-2.5), -2);
    EXPECT_EQ(cint16(32767.4), 32767);
    EXPECT_EQ(cint16(-32768.5), -32768);
    // Single precision: rounded to the nearest float, largest float accepted.
    EXPECT_EQ(csingle(0.1), 0.1f);
    EXPECT_EQ(csingle(3.4028234e38), std::numeric_limits<float>::max());
    EXPECT_EQ(static_cast<double>(csingle(1.0 / 3.0)), static_cast<double>(1.0f / 3.0f));
}
