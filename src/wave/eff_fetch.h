#pragma once
// Effective fetch of one site in the clipping mode: the direct lengths of
// the kept ray pieces, spread over a wrap-around table and weighted by the
// shared cosine window, fill the model state's fetcharray; the results are
// drawn as the site's set of rays for the wave stages.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "model/bounded_array.h"
#include "model/effective_fetch.h"
#include "model/model_state.h"
#include "platform/feedback.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/geometry.h"
#include "platform/gis/map.h"

namespace quor::wave {

// One kept ray piece, as read in object-id order: its "Dir" and the length
// of its shape.
struct KeptPiece {
    std::int64_t dir = 0;
    double length = 0;
};

// Planar coordinates of the site and of the drawn end points: the GIS
// layer's point.
using FetchPoint = platform::gis::Point;

class wave_effFetch_cls {
public:
    // Direction d sits at index d + 7 of the direct-length table.
    static constexpr int kOffset = model::kDirectionOffset;
    using LengthTable = model::BoundedArray<double, 70>;

    // The pure steps only need the model state.
    explicit wave_effFetch_cls(model::ModelState& state) : s_(state) {}
    // The whole step: the project workspace of `mainform`, the map the kept
    // pieces are shown on, and where class-creation failures are told.
    // `hide`, when given, takes the layer off instead (a site's own
    // layers go through its scope, so that the window's map follows).
    wave_effFetch_cls(model::ModelState& state, model::MainFormState& mainform, platform::gis::Map& map,
                      platform::Messages& messages,
                      std::function<void(const std::shared_ptr<platform::gis::Layer>&)> hide = {})
        : s_(state), main_(&mainform), map_(&map), messages_(&messages), hide_(std::move(hide)) {}
    ~wave_effFetch_cls() { L_.erase(); }
    wave_effFetch_cls(const wave_effFetch_cls&) = delete;
    wave_effFetch_cls& operator=(const wave_effFetch_cls&) = delete;

    // Reads the kept pieces ("orp_rays") by object id 1..count, fills
    // fetcharray, draws one line per direction into a new "EffF_rays" in
    // the project workspace (object ids 1..n for directions 0..n-1), takes
    // the kept pieces' layer off the map and returns the new class. Errors
    // (a gap in the object ids, no "Dir" field, a failed creation or store)
    // reach the caller; fetcharray then holds what was computed so far.
    std::shared_ptr<platform::gis::FeatureClass> effFetch(
        const std::shared_ptr<platform::gis::FeatureClass>& pfeatureclass, int16_t norays,
        const platform::gis::Point& spoint);

    // Clears the table and enters the pieces' lengths rounded half to even
    // (a later piece of the same direction replaces an earlier one), then
    // repeats the last and first n/8 directions around the ends. A "Dir"
    // outside the table raises model::SubscriptError.
    void directLengths(const std::vector<KeptPiece>& pieces, int norays);

    // Weights the table into fetcharray (0..n-1; n..60 set to 0), each
    // capped at the direction's own length.
    void weightFetches(int norays);

    const LengthTable& lengths() const { return L_; }

    // End of the drawn line of direction d: the RWE fan's ray end (bearing
    // d * 360/n degrees from +y towards +x, drawn with model::kDrawingPi).
    static FetchPoint endPoint(const FetchPoint& site, double fetch, int d, int norays);

private:
    model::ModelState& s_;
    model::MainFormState* main_ = nullptr;
    platform::gis::Map* map_ = nullptr;
    platform::Messages* messages_ = nullptr;
    std::function<void(const std::shared_ptr<platform::gis::Layer>&)> hide_;
    LengthTable L_;
};

}  // namespace quor::wave
