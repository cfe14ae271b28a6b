#include "platform/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <system_error>

namespace quor::platform {

namespace {

// The one conversion behind every shortest text: `format` empty gives the
// shortest of plain and exponent form.
template <class T>
std::string shortest(T value, std::optional<std::chars_format> format) {
    char buf[400];
    auto res = format ? std::to_chars(buf, buf + sizeof buf, value, *format)
                      : std::to_chars(buf, buf + sizeof buf, value);
    if (res.ec != std::errc()) return std::to_string(value);
    return std::string(buf, res.ptr);
}

std::string shortestFixed(double value) { return shortest(value, std::chars_format::fixed); }
std::string shortestFixed(float value) { return shortest(value, std::chars_format::fixed); }

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
    return s;
}

}  // namespace

double roundHalfEven(double value, int decimals) {
    if (!std::isfinite(value)) return value;
    // Work on the digits of the shortest text: "d.ddd" with an optional sign.
    std::string text = shortestFixed(std::fabs(value));
    const bool negative = std::signbit(value) && value != 0.0;
    auto dot = text.find('.');
    std::string intPart = dot == std::string::npos ? text : text.substr(0, dot);
    std::string frac = dot == std::string::npos ? std::string() : text.substr(dot + 1);
    if (decimals < 0) decimals = 0;
    if (static_cast<int>(frac.size()) <= decimals) return value;

    std::string kept = intPart + frac.substr(0, decimals);
    std::string rest = frac.substr(decimals);
    bool roundUp;
    if (rest[0] > '5') {
        roundUp = true;
    } else if (rest[0] < '5') {
        roundUp = false;
    } else {
        bool beyond = rest.find_first_not_of('0', 1) != std::string::npos;
        if (beyond) {
            roundUp = true;
        } else {
            int last = kept.empty() ? 0 : kept.back() - '0';
            roundUp = (last % 2) == 1;
        }
    }
    if (roundUp) {
        int i = static_cast<int>(kept.size()) - 1;
        while (i >= 0) {
            if (kept[i] == '9') {
                kept[i] = '0';
                --i;
            } else {
                ++kept[i];
                break;
            }
        }
        if (i < 0) kept.insert(kept.begin(), '1');
    }
    std::string out = kept.substr(0, kept.size() - decimals);
    if (out.empty()) out = "0";
    if (decimals > 0) out += "." + kept.substr(kept.size() - decimals);
    // from_chars, not strtod: the application runs in the user's locale,
    // where strtod may stop at the "." of "2.12".
    double result = 0.0;
    std::from_chars(out.data(), out.data() + out.size(), result);
    return negative ? -result : result;
}

std::string formatNumber(double value) {
    if (value == 0.0) return "0";
    return shortestFixed(value);
}

std::string formatNumber(float value) {
    if (value == 0.0f) return "0";
    return shortestFixed(value);
}

std::string shortestText(float value) { return shortest(value, std::nullopt); }
std::string shortestText(double value) { return shortest(value, std::nullopt); }

namespace {

// The double nearest a decimal text, read from_chars' way (the general path).
double readText(const char* first, const char* last, double fallback) {
    double d = fallback;
    std::from_chars(first, last, d);
    return d;
}

// Exact powers of ten in double precision: 10^22 is the largest.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace

double asWritten(float value) {
    // Bathymetry pixels come through here by the million: the shortest
    // digits of a float are at most 9, so digits * 10^e or digits / 10^-e
    // with both operands exact is one correctly rounded operation, the same
    // double reading the text would give, without reading text.
    //
    // From 2^24 up every float is a whole number, and the shortest text may
    // be its exact value in plain digits rather than its shortest digits
    // (33554448, not 3.355445e+07): those few take the text path.
    if (!(std::fabs(value) < 16777216.0f)) return asWrittenViaText(value);
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    const char* p = buf;
    const char* const end = res.ptr;
    if (res.ec != std::errc()) return readText(buf, end, value);
    const bool negative = *p == '-';
    if (negative) ++p;
    std::uint64_t digits = 0;
    int count = 0;
    for (; p != end && *p != 'e'; ++p) {
        if (*p == '.') continue;
        digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
        ++count;
    }
    if (p == end || count > 9) return readText(buf, end, value);
    ++p;  // 'e'
    const bool negExp = *p == '-';
    ++p;  // the exponent's sign is always written
    int exponent = 0;
    for (; p != end; ++p) exponent = exponent * 10 + (*p - '0');
    if (negExp) exponent = -exponent;
    exponent -= count - 1;
    double d;
    if (exponent >= 0 && exponent <= 22) {
        d = static_cast<double>(digits) * kExactPowersOfTen[exponent];
    } else if (exponent < 0 && exponent >= -22) {
        d = static_cast<double>(digits) / kExactPowersOfTen[-exponent];
    } else {
        return readText(buf, end, value);
    }
    return negative ? -d : d;
}

double asWrittenViaText(float value) {
    const std::string text = shortestText(value);
    return readText(text.data(), text.data() + text.size(), value);
}

std::optional<double> parseNumber(std::string_view text) {
    text = trim(text);
    if (text.empty()) return std::nullopt;
    if (text.front() == '+') text.remove_prefix(1);
    double value = 0.0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size()) return std::nullopt;
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

int16_t toInt16(double value) {
    if (!std::isfinite(value)) throw OverflowError("The value is not a finite number.");
    double r = roundHalfEven(value, 0);
    if (r < std::numeric_limits<int16_t>::min() || r > std::numeric_limits<int16_t>::max())
        throw OverflowError("The value " + formatNumber(value) + " does not fit a 16-bit integer.");
    return static_cast<int16_t>(r);
}

std::optional<int16_t> parseInt16(std::string_view text) {
    auto v = parseNumber(text);
    if (!v) return std::nullopt;
    return toInt16(*v);
}

}  // namespace quor::platform

namespace quor::platform {

std::string formatSignificant(double value, int digits) {
    if (!std::isfinite(value)) return std::to_string(value);
    if (value == 0.0) return "0";
    if (digits < 1) digits = 1;
    if (digits > 17) digits = 17;
    // d.ddddde±x with the wanted count of digits, rounded once by to_chars.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, digits - 1);
    if (res.ec != std::errc()) return formatNumber(value);
    std::string sci(buf, res.ptr);
    const bool negative = sci.front() == '-';
    if (negative) sci.erase(0, 1);
    const auto e = sci.find('e');
    int exponent = std::atoi(sci.c_str() + e + 1);
    std::string mantissa;
    for (size_t i = 0; i < e; ++i)
        if (sci[i] != '.') mantissa += sci[i];
    while (mantissa.size() > 1 && mantissa.back() == '0') mantissa.pop_back();

    std::string out;
    if (exponent < 0) {
        out = "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + mantissa;
    } else if (static_cast<int>(mantissa.size()) <= exponent + 1) {
        out = mantissa + std::string(static_cast<size_t>(exponent + 1) - mantissa.size(), '0');
    } else {
        out = mantissa.substr(0, static_cast<size_t>(exponent) + 1) + "." +
              mantissa.substr(static_cast<size_t>(exponent) + 1);
    }
    return negative ? "-" + out : out;
}

std::optional<double> parseDecimal(std::string_view text) {
    if (text.find('.') != std::string_view::npos || text.find(',') == std::string_view::npos)
        return parseNumber(text);
    std::string copy(text);
    const auto comma = copy.find(',');
    if (copy.find(',', comma + 1) != std::string::npos) return std::nullopt;
    copy[comma] = '.';
    return parseNumber(copy);
}

}  // namespace quor::platform
