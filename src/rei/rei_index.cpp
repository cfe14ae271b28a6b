#include "rei/rei_index.h"

#include <cmath>
#include <utility>
#include <vector>

#include "model/wind_classes.h"

namespace quor::rei {

namespace {

constexpr int kRays = 32;
// Cosine weights of the rays 0 to 4 steps from a class's centre ray.
constexpr double kW1 = 0.981, kW2 = 0.924, kW3 = 0.831, kW4 = 0.707;

double classValueAround(const model::ModelState& st, int k) {
    auto b = [&](int i) { return st.ray_bathy(((k + i) % kRays + kRays) % kRays); };
    // Added left to right in this order, so results match to the last bit.
    return (kW4 * b(4) + kW3 * b(3) + kW2 * b(2) + kW1 * b(1) + b(0) + kW1 * b(-1) + kW2 * b(-2) + kW3 * b(-3) +
            kW4 * b(-4)) /
           kClassWeightSum;
}

// Clears the ray arrays when the site's step ends, however it ends, so a
// failed site never leaves its terms to the next one.
struct RayReset {
    model::ModelState& state;
    ~RayReset() { resetRayArrays(state); }
};

int requireField(const SiteFields& f, const std::string& name) {
    const int pos = f.findField(name);
    if (pos < 0) throw ReiIndexError("The point dataset has no field \"" + name + "\"");
    return pos;
}

// A site's values by field position, put and stored together, and only
// when every one is a finite number: the dataset never holds an infinite
// or undefined index.
using SiteValues = std::vector<std::pair<int, double>>;

void addRayLengths(SiteValues& values, const SiteFields& f, const ReiIndexContext& ctx) {
    if (ctx.mainform.fetchlength != 1) return;
    for (int i = 1; i <= kRays; ++i)
        values.emplace_back(requireField(f, "Ray" + std::to_string(i)), ctx.state.ray_fetch(i - 1));
}

bool storeWhenFinite(SiteFields& f, const SiteValues& values) {
    for (const auto& [pos, value] : values)
        if (!std::isfinite(value)) return false;
    for (const auto& [pos, value] : values) f.putValue(pos, value);
    f.store();
    return true;
}

}  // namespace

std::array<double, 8> classValues(const model::ModelState& state) {
    // Centre rays run anticlockwise (E 0, NE 4, N 8, ...); wind classes clockwise.
    std::array<double, 8> anticlockwise{};
    for (int i = 0; i < 8; ++i) anticlockwise[i] = classValueAround(state, 4 * i);
    std::array<double, 8> byClass{};
    for (int c = 0; c < 8; ++c) byClass[c] = anticlockwise[(8 - c) % 8];
    return byClass;
}

double reiIndexValue(const std::array<double, 8>& B, const model::WindSummary& w, double dist_bathy, double fetch) {
    if (!(fetch > 0)) throw ReiIndexError("The maximum fetch must be above 0 m");
    double sum = 0;
    for (int c = 0; c < model::kWindClassCount; ++c) sum += (B[c] * model::windSpeed(w, c)) * model::windPercent(w, c);
    const double divisor = 8 * fetch * 100;
    return sum * dist_bathy / divisor;
}

void resetRayArrays(model::ModelState& state) {
    for (int k = 0; k < kRays; ++k) {
        state.ray_bathy(k) = 0;
        state.ray_fetch(k) = 0;
    }
}

bool REIindex_dir(SiteFields& f, ReiIndexContext& ctx) {
    RayReset reset{ctx.state};
    const auto B = classValues(ctx.state);
    SiteValues values;
    for (int i = 0; i < 8; ++i) values.emplace_back(requireField(f, kDirectionalFields[i]), B[kDirectionalFieldClass[i]]);
    const double index = reiIndexValue(B, ctx.winddata, ctx.mainform.dist_bathy, ctx.mainform.Fetch);
    const int indexPos = f.findField("Index");
    if (indexPos >= 0) values.emplace_back(indexPos, index);
    addRayLengths(values, f, ctx);
    const bool stored = storeWhenFinite(f, values);
    ctx.progress.setValue(1, 100);
    return stored;
}

bool REIindex(SiteFields& f, ReiIndexContext& ctx) {
    RayReset reset{ctx.state};
    const auto B = classValues(ctx.state);
    const double index = reiIndexValue(B, ctx.winddata, ctx.mainform.dist_bathy, ctx.mainform.Fetch);
    SiteValues values{{requireField(f, "Index"), index}};
    addRayLengths(values, f, ctx);
    const bool stored = storeWhenFinite(f, values);
    ctx.progress.setValue(1, 100);
    return stored;
}

}  // namespace quor::rei
