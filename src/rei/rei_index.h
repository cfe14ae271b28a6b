#pragma once
// A site's relative exposure index from its 32 ray terms: per compass
// class a cosine-weighted mean of the nine rays around the class's centre
// ray, weighted by the class's mean wind speed and percentage of time,
// summed and scaled by the interrogation distance over the maximum fetch.
#include <array>
#include <stdexcept>
#include <string>

#include "model/model_state.h"
#include "platform/feedback.h"

namespace quor::rei {

// The site's feature as the index step writes it. The run implements it on
// the point dataset; names are compared without regard to case.
class SiteFields {
public:
    virtual ~SiteFields() = default;
    // Position of the field, -1 when the dataset has none.
    virtual int findField(const std::string& name) const = 0;
    virtual void putValue(int position, double value) = 0;
    // Writes the values put so far into the dataset.
    virtual void store() = 0;
};

class ReiIndexError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Directional fields in the order they are written, and the class each holds
// (classes numbered E 0, SE 1, S 2, SW 3, W 4, NW 5, N 6, NE 7).
inline const std::array<std::string, 8> kDirectionalFields = {"Indexne", "Indexnn", "Indexnw", "Indexww",
                                                              "Indexsw", "Indexss", "Indexse", "Indexee"};
inline constexpr std::array<int, 8> kDirectionalFieldClass = {7, 6, 5, 4, 3, 2, 1, 0};

inline constexpr double kClassWeightSum = 7.886;

// Class values B by wind class (E, SE, S, SW, W, NW, N, NE) from ray_bathy.
std::array<double, 8> classValues(const model::ModelState& state);

// Index from the class values and the holder's speeds and percentages.
// ReiIndexError when the maximum fetch is not above 0.
double reiIndexValue(const std::array<double, 8>& classValue, const model::WindSummary& winddata,
                     double dist_bathy, double fetch);

struct ReiIndexContext {
    model::ModelState& state;
    const model::MainFormState& mainform;
    const model::WindSummary& winddata;
    platform::Progress& progress;
};

// Fast mode: the eight directional values, "Index" when the dataset has it,
// the ray lengths when asked for; then the ray arrays are cleared.
// ReiIndexError when a field the run needs is missing; the feature is then
// not stored, and the ray arrays are cleared all the same. False, nothing
// put and nothing stored, when a value is not a finite number.
bool REIindex_dir(SiteFields& feature, ReiIndexContext& ctx);
// Clip mode: "Index" and the ray lengths when asked for.
bool REIindex(SiteFields& feature, ReiIndexContext& ctx);

// The ray arrays cleared for the next site.
void resetRayArrays(model::ModelState& state);

}  // namespace quor::rei
