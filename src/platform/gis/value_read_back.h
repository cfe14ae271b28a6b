#pragma once
// Whether a value GDAL wrote into a field reads back, through GDAL's own
// reader, as the value: a real number to the field's decimals, a real
// number in an integer field cut to its whole part as GDAL cuts it, a
// text as GDAL trims it, and an empty value (an empty text as much as no
// value at all) empty. GDAL cuts a number that is too wide for its field
// and only warns; the writer must see it and give the field the width
// that holds the value.
#include <cstddef>
#include <optional>
#include <string_view>

#include "platform/gis/fields.h"

class OGRFeature;
class OGRFieldDefn;

namespace quor::platform::gis::detail {

// Whether the value is empty: no value, or an empty text.
bool isEmptyValue(const FieldValue& value);

// How GDAL holds the values of a field of a table: what its writer does
// with a value, and so what its spelling alone can tell.
enum class Holding { Text, Int32, Int64, Real, Other };
Holding holdingOf(const OGRFieldDefn& defn, char type);

// Whether `spelt`, the bytes GDAL gave a field holding values as
// `holding`, plainly hold the whole of `value`: an empty value spelt
// empty, a number GDAL spelt with room to spare (so not cut short), a text
// of plain letters as it is. Anything else is for GDAL's reader to tell.
bool plainlyWhole(Holding holding, std::string_view spelt, const FieldValue& value);

// Whether field `field` of `back`, a row GDAL read after writing `value`
// into it, holds the value.
bool readsBackAs(const OGRFeature& back, int field, const FieldValue& value);

// The width in which GDAL spells `value` whole in the number field
// `defn`: all its digits before the point and the field's decimals after
// it. Nothing when the value is no finite number, or the field is no
// number field.
std::optional<std::size_t> wholeWidth(const OGRFieldDefn& defn, const FieldValue& value);

}  // namespace quor::platform::gis::detail
