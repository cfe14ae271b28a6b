#pragma once
// What the wind summary display shows of the holder, as text: one caption
// per compass point of the rose (anticlockwise from east: E, NE, N, NW,
// W, SW, S, SE), the four information lines and the wind file.
#include <array>
#include <optional>
#include <string>

#include "model/model_state.h"

namespace quor::wind {

struct WindRoseText {
    std::array<std::string, 8> rose;                  // "pct%, speed" or "No Data"
    std::optional<std::array<std::string, 4>> info;   // station, start, end, cut-off; none without data
    std::string file;
};

// The class shown at rose position k (anticlockwise from east).
int roseClass(int position);

WindRoseText windRoseText(const model::WindSummary& winddata);

}  // namespace quor::wind
