#pragma once
// A feature (row) of a feature class: its object id, shape and attribute
// values, held in memory. Changes reach the store through
// FeatureClass::store or an InsertCursor.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/gis/fields.h"
#include "platform/gis/geometry.h"

namespace quor::platform::gis {

class Feature {
public:
    Feature() = default;
    explicit Feature(std::shared_ptr<const Fields> fields);

    // -1 until the feature has been stored.
    std::int64_t oid() const { return oid_; }
    void setOid(std::int64_t oid) { oid_ = oid; }

    const Geometry& shape() const { return shape_; }
    void setShape(Geometry g) {
        shape_ = std::move(g);
        shapeChanged_ = true;
    }

    const Fields& fields() const;
    int fieldCount() const { return fields_ ? fields_->count() : 0; }
    int findField(std::string_view name) const { return fields_ ? fields_->findField(name) : -1; }

    // By field position (0 shape: null; 1 object id). GisError when out of range.
    FieldValue value(int index) const;
    // By name, without regard to case; GisError when there is no such field.
    FieldValue value(std::string_view name) const;
    // Sets an attribute value (positions from 2). The shape and the object
    // id are not set this way (GisError).
    void setValue(int index, FieldValue v);
    void setValue(std::string_view name, FieldValue v);

    const std::shared_ptr<const Fields>& fieldsPtr() const { return fields_; }

    // What was set since the feature was read or last stored: storing a row
    // that exists writes only that, so that the rest of the row is never
    // written over with what it already holds.
    bool changed(int index) const { return index >= 0 && index < fieldCount() && changed_[static_cast<std::size_t>(index)]; }
    bool shapeChanged() const { return shapeChanged_; }
    // Everything as it is in the store now.
    void settle();

private:
    std::shared_ptr<const Fields> fields_;
    std::int64_t oid_ = -1;
    Geometry shape_;
    std::vector<FieldValue> values_;  // one per field; positions 0 and 1 unused
    std::vector<bool> changed_;
    bool shapeChanged_ = false;
};

}  // namespace quor::platform::gis
