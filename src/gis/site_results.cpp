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

std::string notEmptiedText(const std::string& model, const std::string& dataset, const std::string& why) {
    return "The earlier " + model + " values of " + dataset + " cannot be emptied (" + why +
           "). Nothing was changed and the run did not start.";
}

std::string storedResultsText(std::int64_t stored, std::int64_t sites) {
    return std::to_string(stored) + " of " + std::to_string(sites) +
           " sites have stored results; the result fields of the other sites are empty.";
}

}  // namespace quor::gis
