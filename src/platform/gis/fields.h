#pragma once
// Field definitions and values of feature classes.
//
// Every feature class shows its fields in one list: position 0 is the
// shape field, position 1 the object-id field, the attribute fields follow
// from position 2 in store order (a GeoPackage class made by this layer:
// "shape", "OBJECTID", ...; a shapefile: "Shape", "FID", ...).
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace quor::platform::gis {

enum class FieldType {
    Geometry,
    ObjectId,
    SmallInteger,  // 16-bit
    Integer,       // 32-bit ("long")
    Single,
    Double,
    String,
    Date,
};

struct FieldDef {
    FieldDef() = default;
    FieldDef(std::string name_, FieldType type_, std::string alias_ = {}, int length_ = 0)
        : name(std::move(name_)), type(type_), alias(std::move(alias_)), length(length_) {}

    std::string name;
    FieldType type = FieldType::Double;
    std::string alias;  // empty: same as name
    int length = 0;     // strings and numbers where the store honours it; 0 = its default
    // False for the fields the store fills itself (shape, object id, a
    // geodatabase's shape length and area): never written by a copy.
    bool editable = true;
    // The decimals a real-number field of this length keeps in a store that
    // honours lengths: as many as a double carries, within the length.
    int decimals() const { return std::max(0, std::min(15, length - 3)); }
    friend bool operator==(const FieldDef&, const FieldDef&) = default;
};

// A value: empty (null), whole number, real number or text.
using FieldValue = std::variant<std::monostate, std::int64_t, double, std::string>;

bool isNull(const FieldValue& v);
// Conversions; GisError when the value cannot be read as asked (null reads as 0 / "").
double toDouble(const FieldValue& v);
std::int64_t toInt(const FieldValue& v);
std::string toText(const FieldValue& v);

// The ordered field list of a class.
class Fields {
public:
    Fields() = default;
    explicit Fields(std::vector<FieldDef> defs) : defs_(std::move(defs)) {}

    int count() const { return static_cast<int>(defs_.size()); }
    const FieldDef& field(int index) const { return defs_.at(static_cast<std::size_t>(index)); }
    const std::vector<FieldDef>& all() const { return defs_; }
    // Position of the field with this name, upper and lower case not
    // distinguished; -1 when there is none.
    int findField(std::string_view name) const;

private:
    std::vector<FieldDef> defs_;
};

// Compares two names without regard to (ASCII) case.
bool equalsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace quor::platform::gis
