#include "wave/eff_fetch.h"

#include <stdexcept>

#include "gis/effective_fetch_rays.h"
#include "gis/ray_geometry.h"
#include "model/effective_fetch.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/workspace.h"
#include "platform/numbers.h"
#include "wave/checked_math.h"

namespace quor::wave {

namespace {

int checkedIndex(std::int64_t dir) {
    if (dir < -wave_effFetch_cls::kOffset || dir > wave_effFetch_cls::LengthTable::upper - wave_effFetch_cls::kOffset)
        throw model::SubscriptError();
    return static_cast<int>(dir) + wave_effFetch_cls::kOffset;
}
}  // namespace

void wave_effFetch_cls::directLengths(const std::vector<KeptPiece>& pieces, int n) {
    L_.erase();
    for (const auto& p : pieces) L_(checkedIndex(p.dir)) = platform::roundHalfEven(checked(p.length), 0);
    model::wrapDirectionTable(L_, n);
}

void wave_effFetch_cls::weightFetches(int n) { model::fillEffectiveFetch(s_.fetcharray, L_, n); }

std::shared_ptr<platform::gis::FeatureClass> wave_effFetch_cls::effFetch(
    const std::shared_ptr<platform::gis::FeatureClass>& pfeatureclass, int16_t norays,
    const platform::gis::Point& spoint) {
    namespace pg = platform::gis;
    if (!main_ || !map_ || !messages_) throw pg::GisError("The effective fetch has no project workspace.");
    if (!pfeatureclass) throw pg::GisError("There are no kept ray pieces to measure the effective fetch on.");
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
    auto out = gis::drawEffectiveFetchRays(ws, spoint, s_.fetcharray, n, *messages_);

    // The kept pieces were shown on top just before; take that layer off
    // by identity, so that a layer added in between is never the one lost.
    for (int i = 0; i < map_->layerCount(); ++i) {
        const auto& fc = map_->layer(i)->featureClass();
        if (fc == pfeatureclass ||
            (fc && fc->name() == pfeatureclass->name() && fc->workspace() == pfeatureclass->workspace())) {
            if (hide_)
                hide_(std::shared_ptr<pg::Layer>(map_->layer(i)));
            else
                map_->deleteLayer(i);
            break;
        }
    }
    return out;
}

FetchPoint wave_effFetch_cls::endPoint(const FetchPoint& site, double fetch, int d, int n) {
    return gis::rweRayEnd(site, fetch, d, n);
}

}  // namespace quor::wave
