#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "wave/checked_math.h"

using namespace quor::wave;

TEST(CheckedMath, RaisesWhereTheFormulasHaveNoValue) {
    const std::string div0 = "Division by zero", over = "Overflow", inval = "Invalid procedure call or argument";
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[] { cdiv(5, 0); }, div0},           {[] { cdiv(0, 0); }, over},
        {[] { cdiv(1e308, 1e-308); }, over},  {[] { cpow(-8, 1.0 / 3.0); }, inval},
        {[] { cpow(0, -0.5); }, div0},        {[] { cpow(10, 400); }, over},
        {[] { csqrt(-1e-12); }, inval},       {[] { clog(0); }, inval},
        {[] { clog(-2); }, inval},            {[] { cexp(709.79); }, over},
        {[] { cint16(32767.5); }, over},      {[] { cint16(-32769); }, over},
        {[] { csingle(1e39); }, over},        {[] { checked(std::nan("")); }, inval},
        {[] { cdiv(std::nan(""), 1); }, inval}, {[] { checked(-std::numeric_limits<double>::infinity()); }, over},
    };
    int i = 0;
    for (const auto& [fn, expected] : cases) {
        try {
            fn();
            ADD_FAILURE() << "case " << i << " raised nothing";
        } catch (const MathError& e) {
            EXPECT_EQ(e.what(), expected) << "case " << i;
        }
        ++i;
    }
}

TEST(CheckedMath, EdgesThatStillHaveValues) {
    EXPECT_DOUBLE_EQ(cpow(-2, 3), -8);  // negative base, whole exponent
    EXPECT_DOUBLE_EQ(cpow(0, 0), 1);
    EXPECT_EQ(cexp(-745.2), 0);  // underflow is a plain 0
    EXPECT_EQ(cint16(2.5), 2);   // half to even
    EXPECT_EQ(cint16(-2.5), -2);
    EXPECT_EQ(cint16(32767.4), 32767);
    EXPECT_EQ(cint16(-32768.5), -32768);
    EXPECT_EQ(csingle(3.4028234e38), std::numeric_limits<float>::max());
    EXPECT_EQ(csingle(0.1), 0.1f);
}
