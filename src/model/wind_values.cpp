#include "model/wind_values.h"

#include <cmath>
#include <cstdlib>

#include "platform/numbers.h"

namespace quor::model {

std::optional<std::string> windSpeedProblem(double speed) {
    if (!std::isfinite(speed)) return std::string("a wind speed must be a finite number");
    if (speed < 0) return std::string("a wind speed cannot be negative");
    if (speed > kMaxWindSpeed)
        return "a mean wind speed above " + platform::formatNumber(kMaxWindSpeed) + " m/s is not possible";
    return std::nullopt;
}

std::optional<std::string> windPercentProblem(double percent) {
    if (!(percent >= 0 && percent <= 100)) return std::string("a percentage of time must lie between 0 and 100");
    return std::nullopt;
}

std::optional<std::string> windPercentTotalProblem(double total) {
    if (!(total <= kMaxPercentTotal))
        return "the percentages of time add up to " + platform::formatNumber(platform::roundHalfEven(total, 2)) +
               ", more than 100";
    return std::nullopt;
}

std::optional<double> nonFiniteNumber(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::nullopt;
    const std::string number = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    char* end = nullptr;
    const double v = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size() || std::isfinite(v)) return std::nullopt;
    return v;
}

std::string windLineRefusal(int lineNumber, const std::string& text, const std::string& why) {
    return "Line " + std::to_string(lineNumber) + " of the wind file, \"" + text + "\": " + why + ".";
}

std::optional<double> windDirection(double degrees) {
    if (!(degrees >= 0 && degrees <= 360)) return std::nullopt;
    return degrees == 360 ? 0.0 : degrees;
}

}  // namespace quor::model
