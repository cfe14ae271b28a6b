#include "platform/gis/fields.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/gis/gis_error.h"
#include "platform/numbers.h"

namespace quor::platform::gis {

namespace {
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

int Fields::findField(std::string_view name) const {
    for (std::size_t i = 0; i < defs_.size(); ++i)
        if (equalsIgnoreCase(defs_[i].name, name)) return static_cast<int>(i);
    return -1;
}

bool isNull(const FieldValue& v) { return std::holds_alternative<std::monostate>(v); }

double toDouble(const FieldValue& v) {
    if (std::holds_alternative<std::monostate>(v)) return 0;
    if (auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
    if (auto* d = std::get_if<double>(&v)) return *d;
    // Text fields hold numbers with a point whatever the user's locale.
    const auto d = parseNumber(std::get<std::string>(v));
    if (!d) throw GisError("The text \"" + std::get<std::string>(v) + "\" is not a number.");
    return *d;
}

std::int64_t toInt(const FieldValue& v) {
    if (std::holds_alternative<std::monostate>(v)) return 0;
    if (auto* i = std::get_if<std::int64_t>(&v)) return *i;
    const double d = toDouble(v);
    if (!std::isfinite(d) || d > 9.2e18 || d < -9.2e18)
        throw GisError("The value " + formatNumber(d) + " is too large for a whole number.");
    return static_cast<std::int64_t>(std::nearbyint(d));  // half to even, as the runtime converts
}

std::string toText(const FieldValue& v) {
    if (std::holds_alternative<std::monostate>(v)) return {};
    if (auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
    if (auto* d = std::get_if<double>(&v)) return shortestText(*d);
    return std::get<std::string>(v);
}

}  // namespace quor::platform::gis
