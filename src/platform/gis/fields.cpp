#include "platform/gis/fields.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/gis/feature.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/raster.h"
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
    if (!d) throw GisError("Type mismatch");
    return *d;
}

std::int64_t toInt(const FieldValue& v) {
    if (std::holds_alternative<std::monostate>(v)) return 0;
    if (auto* i = std::get_if<std::int64_t>(&v)) return *i;
    const double d = toDouble(v);
    if (!std::isfinite(d) || d > 9.2e18 || d < -9.2e18) throw GisError("Overflow");
    return static_cast<std::int64_t>(std::nearbyint(d));  // half to even, as the runtime converts
}

std::string toText(const FieldValue& v) {
    if (std::holds_alternative<std::monostate>(v)) return {};
    if (auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
    if (auto* d = std::get_if<double>(&v)) return shortestText(*d);
    return std::get<std::string>(v);
}

// ---- Feature ----

Feature::Feature(std::shared_ptr<const Fields> fields) : fields_(std::move(fields)) {
    values_.resize(fields_ ? static_cast<std::size_t>(fields_->count()) : 0);
}

const Fields& Feature::fields() const {
    static const Fields empty;
    return fields_ ? *fields_ : empty;
}

FieldValue Feature::value(int index) const {
    if (index < 0 || index >= fieldCount()) throw GisError("The field index is out of range.");
    if (index == 1) return oid_;
    return values_[static_cast<std::size_t>(index)];
}

FieldValue Feature::value(std::string_view name) const {
    const int i = findField(name);
    if (i < 0) throw GisError("Field not found: " + std::string(name));
    return value(i);
}

void Feature::setValue(int index, FieldValue v) {
    if (index < 0 || index >= fieldCount()) throw GisError("The field index is out of range.");
    if (index < 2) throw GisError("The field is not editable.");
    values_[static_cast<std::size_t>(index)] = std::move(v);
}

void Feature::setValue(std::string_view name, FieldValue v) {
    const int i = findField(name);
    if (i < 0) throw GisError("Field not found: " + std::string(name));
    setValue(i, std::move(v));
}

}  // namespace quor::platform::gis
