#include "gis/site_results.h"

#include "platform/gis/workspace.h"

namespace quor::gis {

void emptyResultFields(pg::FeatureClass& points, const std::vector<std::string>& names) {
    std::vector<int> positions;
    for (const auto& name : names)
        if (const int idx = points.findField(name); idx >= 2) positions.push_back(idx);
    if (positions.empty()) return;
    pg::Workspace::Transaction tx(*points.workspace());
    auto cursor = points.search();
    while (auto f = cursor.next()) {
        for (const int idx : positions) f->setValue(idx, pg::FieldValue{});
        points.store(*f);
    }
    tx.commit();
}

}  // namespace quor::gis
