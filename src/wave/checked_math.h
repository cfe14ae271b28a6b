#pragma once
// Arithmetic that fails loudly. The model's status codes depend on a
// formula failing where the numbers make no sense (a zero fetch, a zero
// depth, a root of a negative number): C++ would carry on with inf or NaN
// and write them into result fields. Every formula of the wave model goes
// through these helpers, and callers that map failures to status codes
// catch MathError.
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace quor::wave {

class MathError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The descriptions the run start shows for an uncaught failure.
inline constexpr const char* kDivisionByZero = "Division by zero";
inline constexpr const char* kOverflow = "Overflow";
inline constexpr const char* kInvalidCall = "Invalid procedure call or argument";

// Raises MathError with this description (kept out of line, so that the
// checks below cost a comparison in the wave loops).
[[noreturn]] void throwMathError(const char* description);

// Passes a finite value through; NaN is an invalid argument, an infinity
// an overflow.
inline double checked(double x) {
    if (!std::isfinite(x)) [[unlikely]]
        throwMathError(std::isnan(x) ? kInvalidCall : kOverflow);
    return x;
}

// a / b. x / 0 raises "Division by zero", 0 / 0 raises "Overflow" (the
// indeterminate case), a finite quotient too large for a double "Overflow".
inline double cdiv(double a, double b) {
    checked(a);
    checked(b);
    if (b == 0) [[unlikely]]
        throwMathError(a == 0 ? kOverflow : kDivisionByZero);
    return checked(a / b);
}

// base ^ exponent. A negative base with a fractional exponent is an
// invalid argument; 0 to a negative power divides by zero.
double cpow(double base, double exponent);

// Square root; a negative argument is invalid.
double csqrt(double x);

// Natural logarithm; zero and negative arguments are invalid.
double clog(double x);

// e^x; raises "Overflow" above about 709.78.
double cexp(double x);

// Conversion to a 16-bit integer, rounding half to even; "Overflow" outside
// -32768..32767 (and for NaN).
int16_t cint16(double x);

// Conversion to single precision (nearest float); "Overflow" when the value
// lies beyond the float range.
float csingle(double x);


}  // namespace quor::wave
