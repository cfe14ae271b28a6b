#include "platform/gis/value_read_back.h"

#include <cpl_conv.h>
#include <cpl_string.h>
#include <ogr_feature.h>

#include <cmath>
#include <string>
#include <string_view>
#include <variant>

namespace quor::platform::gis::detail {

namespace {

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The number a value stands for: a text counts only when it is a number
// through and through.
std::optional<double> numberOf(const FieldValue& value) {
    if (const auto* n = std::get_if<std::int64_t>(&value)) return static_cast<double>(*n);
    if (const auto* d = std::get_if<double>(&value)) return *d;
    if (const auto* s = std::get_if<std::string>(&value)) {
        const std::string text(trimmed(*s));
        char* end = nullptr;
        const double x = CPLStrtod(text.c_str(), &end);
        if (!text.empty() && end && *end == '\0') return x;
    }
    return std::nullopt;
}

// As a table spells a number: in the C locale, whatever the user's.
std::string fixed(double x, int decimals) { return CPLSPrintf("%.*f", decimals, x); }
std::string general(double x) { return CPLSPrintf("%.15g", x); }

bool sameNumber(double got, double wanted) {
    if (std::isnan(wanted)) return std::isnan(got);
    return got == wanted;
}

}  // namespace

bool isEmptyValue(const FieldValue& value) {
    if (std::holds_alternative<std::monostate>(value)) return true;
    const auto* s = std::get_if<std::string>(&value);
    return s && s->empty();
}

Holding holdingOf(const OGRFieldDefn& defn, char type) {
    if (type == 'C' && defn.GetType() == OFTString) return Holding::Text;
    if (type != 'N' && type != 'F') return Holding::Other;
    switch (defn.GetType()) {
        case OFTInteger: return Holding::Int32;
        case OFTInteger64: return Holding::Int64;
        case OFTReal: return Holding::Real;
        default: return Holding::Other;
    }
}

bool plainlyWhole(Holding holding, std::string_view spelt, const FieldValue& value) {
    if (spelt.empty()) return false;
    if (isEmptyValue(value)) {
        if (holding == Holding::Text) return spelt.find_first_not_of(' ') == std::string_view::npos;
        return holding != Holding::Other && spelt[0] == '*';
    }
    if (holding == Holding::Text) {
        const auto* s = std::get_if<std::string>(&value);
        if (!s || s->size() > spelt.size() || s->front() == ' ') return false;
        for (const char c : *s)
            if (c < ' ' || c > '~') return false;  // code pages differ beyond plain letters
        return spelt.compare(0, s->size(), *s) == 0 &&
               spelt.find_first_not_of(' ', s->size()) == std::string_view::npos;
    }
    // GDAL spells a number right-aligned in its field and cuts what does
    // not fit: a blank before it means nothing was cut. It keeps a whole
    // number's whole part, as far as the field's integers go.
    double x = 0;
    if (const auto* n = std::get_if<std::int64_t>(&value))
        x = static_cast<double>(*n);
    else if (const auto* d = std::get_if<double>(&value))
        x = *d;
    else
        return false;
    if (!std::isfinite(x) || spelt[0] != ' ') return false;
    switch (holding) {
        case Holding::Real: return true;
        case Holding::Int32: return std::abs(x) < 2147483647.0;
        case Holding::Int64: return std::abs(x) < 9.2e18;
        default: return false;
    }
}

bool readsBackAs(const OGRFeature& back, int field, const FieldValue& value) {
    if (isEmptyValue(value)) return !back.IsFieldSetAndNotNull(field);
    if (!back.IsFieldSetAndNotNull(field)) return false;
    const OGRFieldDefn& defn = *back.GetFieldDefnRef(field);
    switch (defn.GetType()) {
        case OFTInteger:
        case OFTInteger64: {
            const GIntBig got = back.GetFieldAsInteger64(field);
            if (const auto* n = std::get_if<std::int64_t>(&value)) return got == *n;
            const auto x = numberOf(value);
            if (!x || !std::isfinite(*x)) return false;
            // GDAL keeps the whole part, as far as a 64-bit integer goes.
            const double whole = std::trunc(*x);
            return std::abs(whole) < 9.2e18 && got == static_cast<GIntBig>(whole);
        }
        case OFTReal: {
            const auto x = numberOf(value);
            if (!x) return false;
            const double got = back.GetFieldAsDouble(field);
            if (!std::isfinite(*x)) return sameNumber(got, *x);
            // The value rounded to the field's decimals lies within half a
            // unit of its last decimal; a spelling cut short by even one
            // digit lies at least that far away. Only near that line must
            // the digits themselves be compared.
            if (std::abs(got - *x) < 0.45 * std::pow(10.0, -defn.GetPrecision())) return true;
            return got == CPLAtof(fixed(*x, defn.GetPrecision()).c_str());
        }
        case OFTString: {
            const std::string got = back.GetFieldAsString(field);
            if (const auto* s = std::get_if<std::string>(&value)) return got == trimmed(*s);
            if (const auto* n = std::get_if<std::int64_t>(&value)) return got == std::to_string(*n);
            const double x = std::get<double>(value);
            const auto read = numberOf(FieldValue(got));
            return read && (sameNumber(*read, x) || general(*read) == general(x));
        }
        default: return false;
    }
}

std::optional<std::size_t> wholeWidth(const OGRFieldDefn& defn, const FieldValue& value) {
    const auto x = numberOf(value);
    if (!x || !std::isfinite(*x)) return std::nullopt;
    switch (defn.GetType()) {
        case OFTInteger:
        case OFTInteger64: {
            if (const auto* n = std::get_if<std::int64_t>(&value)) return std::to_string(*n).size();
            return fixed(std::trunc(*x), 0).size();
        }
        case OFTReal: return fixed(*x, defn.GetPrecision()).size();
        default: return std::nullopt;
    }
}

}  // namespace quor::platform::gis::detail
