#pragma once
// The eight compass classes of the REI wind climate, in the order of every
// per-class table and wind-file line: 0 E, 1 SE, 2 S, 3 SW, 4 W, 5 NW,
// 6 N, 7 NE. The holder keeps one named member per class; these reach
// them by index. Storing into a NE member rounds to single precision, as
// that member has always been held.
#include <array>
#include <string>

#include "model/model_state.h"

namespace quor::model {

inline constexpr int kWindClassCount = 8;

// Short names of the classes, in class order.
inline const std::array<std::string, kWindClassCount> kWindClassNames = {"E", "SE", "S", "SW", "W", "NW", "N", "NE"};

double windSpeed(const WindSummary& w, int k);
double windPercent(const WindSummary& w, int k);
double windPower(const WindSummary& w, int k);
void setWindSpeed(WindSummary& w, int k, double value);
void setWindPercent(WindSummary& w, int k, double value);
void setWindPower(WindSummary& w, int k, double value);

}  // namespace quor::model
