#include "platform/gis/feature.h"

#include <algorithm>

#include "platform/gis/gis_error.h"

namespace quor::platform::gis {

Feature::Feature(std::shared_ptr<const Fields> fields) : fields_(std::move(fields)) {
    values_.resize(fields_ ? static_cast<std::size_t>(fields_->count()) : 0);
    changed_.resize(values_.size());
}

void Feature::settle() {
    std::fill(changed_.begin(), changed_.end(), false);
    shapeChanged_ = false;
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
    changed_[static_cast<std::size_t>(index)] = true;
}

void Feature::setValue(std::string_view name, FieldValue v) {
    const int i = findField(name);
    if (i < 0) throw GisError("Field not found: " + std::string(name));
    setValue(i, std::move(v));
}

}  // namespace quor::platform::gis
