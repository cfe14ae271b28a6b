#include "wave/eff_fetch.h"

#include <cmath>
#include <stdexcept>

#include "gis/geodatabase.h"
#include "model/effective_fetch.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/workspace.h"
#include "platform/numbers.h"
#include "wave/checked_math.h"

namespace quor::wave {

namespace {
constexpr double kDrawingPi = 3.14159;

int checkedIndex(std::int64_t dir) {
    if (dir < -wave_effFetch_cls::kOffset || dir > wave_effFetch_cls::LengthTable::upper - wave_effFetch_cls::kOffset)
        throw model::SubscriptError();
    return static_cast<int>(dir) + wave_effFetch_cls::kOffset;
}
}  // namespace

void wave_effFetch_cls::directLengths(const std::vector<KeptPiece>& pieces, int n) {
    L_.erase();
    for (const auto& p : pieces) L_(checkedIndex(p.dir)) = platform::roundHalfEven(checked(p.length), 0);
    const int m = model::effectiveFetchHalfWidth(n);
    for (int i = 0; i < m; ++i) {
        L_(6 - i) = L_(n + 6 - i);
        L_(n + 7 + i) = L_(7 + i);
    }
}

void wave_effFetch_cls::weightFetches(int n) {
    s_.fetcharray.erase();
    std::vector<double> direct(static_cast<size_t>(n));
    for (int d = 0; d < n; ++d) direct[static_cast<size_t>(d)] = L_(d + kOffset);
    // The shared window wraps around the circle the same way the table's
    // repeated ends do.
    const auto eff = model::effectiveFetch(direct);
    for (int d = 0; d < n; ++d) s_.fetcharray(d) = eff[static_cast<size_t>(d)];
}

std::shared_ptr<platform::gis::FeatureClass> wave_effFetch_cls::effFetch(
    const std::shared_ptr<platform::gis::FeatureClass>& pfeatureclass, int16_t norays,
    const platform::gis::Point& spoint) {
    namespace pg = platform::gis;
    if (!main_ || !map_ || !messages_) throw pg::GisError("The effective fetch has no project workspace.");
    if (!pfeatureclass) throw pg::GisError("Object variable or With block variable not set");
    const int n = norays;

    std::vector<KeptPiece> pieces;
    const std::int64_t count = pfeatureclass->featureCount();
    for (std::int64_t i = 1; i <= count; ++i) {
        const pg::Feature f = pfeatureclass->feature(i);
        pieces.push_back({pg::toInt(f.value("Dir")), f.shape().length()});
    }
    directLengths(pieces, n);
    weightFetches(n);

    // Beside the kept pieces: a run that keeps its work classes in memory
    // keeps this one there too.
    auto ws = pfeatureclass->workspace() ? pfeatureclass->workspace() : main_->ptworkspace;
    auto out = gis::createWorkspaceFeatureClass(ws, "EffF_rays", gis::ftype_simple,
                                                gis::geom_polyline, *messages_);
    if (!out) throw pg::GisError("Object variable or With block variable not set");
    {
        pg::Workspace::Transaction tx(*out->workspace());
        for (int d = 0; d < n; ++d) {
            const FetchPoint end = endPoint({spoint.x, spoint.y}, s_.fetcharray(d), d, n);
            pg::Feature f = out->createFeature();
            f.setShape(pg::Geometry::line(spoint, {end.x, end.y}));
            f.setValue("Dir", std::int64_t{d});
            out->store(f);
        }
        tx.commit();
    }

    // The kept pieces were shown on top just before; take that layer off
    // by identity, so that a layer added in between is never the one lost.
    for (int i = 0; i < map_->layerCount(); ++i) {
        const auto& fc = map_->layer(i)->featureClass();
        if (fc == pfeatureclass ||
            (fc && fc->name() == pfeatureclass->name() && fc->workspace() == pfeatureclass->workspace())) {
            map_->deleteLayer(i);
            break;
        }
    }
    return out;
}

FetchPoint wave_effFetch_cls::endPoint(const FetchPoint& site, double fetch, int d, int n) {
    const double a = d * (360.0 / n) * kDrawingPi / 180;
    return {site.x + fetch * std::sin(a), site.y + fetch * std::cos(a)};
}

}  // namespace quor::wave
