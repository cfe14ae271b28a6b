#pragma once
// Number conventions shared by every subsystem: values travel between the
// settings store, text files and attribute fields as decimal text, and the
// model rounds half to even throughout.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quor::platform {

// Raised where a value does not fit its declared width (a 16-bit field,
// a subscript); callers that map failures to status codes catch it.
class OverflowError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Rounds to `decimals` places, ties to even. The tie is decided on the
// shortest decimal text of the value, so 2.675 rounds like the written
// number it came from (2.68), not like its binary neighbour.
double roundHalfEven(double value, int decimals = 0);

// Shortest decimal text that reads back to the same value, never in
// exponent form: 10000 -> "10000", 0.053 -> "0.053", 1e-5 -> "0.00001".
std::string formatNumber(double value);
std::string formatNumber(float value);

// Shortest decimal text that reads back to the same value, in whatever
// form is shortest (exponent form allowed): -3.1f -> "-3.1".
std::string shortestText(float value);
std::string shortestText(double value);

// A single-precision value as the decimal number it was written as: the
// double nearest its shortest text, so 0.053f gives 0.053, not its binary
// neighbour 0.0529999993... Values typed as text and stored in single
// precision (ray powers, Float32 pixels) enter the sums this way.
double asWritten(float value);
// The same reading taken through the shortest text itself: the reference
// asWritten is checked against.
double asWrittenViaText(float value);

// Parses a decimal number in the C locale, blanks around it allowed.
// Empty or non-numeric text gives nothing.
std::optional<double> parseNumber(std::string_view text);

// Text to a 16-bit integer the way the model converts: parse, round half
// to even ("30.5" -> 30, "31.5" -> 32). Nothing for non-numbers; throws
// OverflowError outside -32768..32767.
std::optional<int16_t> parseInt16(std::string_view text);

// Double to 16-bit integer with rounding half to even; throws OverflowError.
int16_t toInt16(double value);

}  // namespace quor::platform

namespace quor::platform {

// Decimal text as users' wind and data files carry it: at most `digits`
// significant digits, "." as the separator whatever the locale, no
// exponent, trailing zeros dropped (4.47, 6.705, 12, 0). Ten times 0.447
// gives "4.47", not the binary neighbour's "4.470000000000001".
std::string formatSignificant(double value, int digits = 15);

// Reads a decimal number typed or stored by a user: "." is the separator;
// a "," is taken as the separator only when the text holds no ".", so a
// file written under a decimal-comma locale still reads. Blanks around it
// are allowed; anything else gives nothing.
std::optional<double> parseDecimal(std::string_view text);

}  // namespace quor::platform
