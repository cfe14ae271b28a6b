#include "wave/checked_math.h"

#include <cmath>
#include <limits>

#include "platform/numbers.h"

namespace quor::wave {

void throwMathError(const char* description) { throw MathError(description); }

double cpow(double base, double exponent) {
    checked(base);
    checked(exponent);
    if (base < 0 && std::trunc(exponent) != exponent) throw MathError(kInvalidCall);
    if (base == 0 && exponent < 0) throw MathError(kDivisionByZero);
    return checked(std::pow(base, exponent));
}

double csqrt(double x) {
    checked(x);
    if (x < 0) throw MathError(kInvalidCall);
    return std::sqrt(x);
}

double clog(double x) {
    checked(x);
    if (x <= 0) throw MathError(kInvalidCall);
    return std::log(x);
}

double cexp(double x) {
    checked(x);
    return checked(std::exp(x));
}

int16_t cint16(double x) {
    checked(x);
    try {
        return platform::toInt16(x);
    } catch (const platform::OverflowError&) {
        throw MathError(kOverflow);
    }
}

float csingle(double x) {
    checked(x);
    const float f = static_cast<float>(x);
    if (std::isinf(f)) throw MathError(kOverflow);
    return f;
}

}  // namespace quor::wave
