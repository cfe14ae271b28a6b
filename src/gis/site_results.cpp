#include "gis/site_results.h"

namespace quor::gis {

void emptyResultFields(pg::FeatureClass& points, const std::vector<std::string>& names) {
    std::vector<int> positions;
    for (const auto& name : names)
        if (const int idx = points.findField(name); idx >= 2) positions.push_back(idx);
    if (positions.empty()) return;
    points.changeAllOrNothing([&] {
        auto cursor = points.search();
        while (auto f = cursor.next()) {
            for (const int idx : positions) f->setValue(idx, pg::FieldValue{});
            points.store(*f);
        }
    });
}

}  // namespace quor::gis
