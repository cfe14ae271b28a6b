#include "wave/tide_form.h"

#include <cmath>

#include "platform/numbers.h"

namespace quor::wave {

std::string Tide_frm::Form_Load() const {
    const float v = s_.water_level == 0 ? 0.0f : s_.water_level;
    return platform::formatNumber(v);
}

bool Tide_frm::Command1_Click(const std::string& text) {
    const auto blank = text.find_first_not_of(" \t");
    if (blank == std::string::npos) {
        s_.water_level = 0;
        return true;
    }
    const double v = platform::parseNumber(text).value_or(std::nan(""));
    if (auto problem = model::waterLevelProblem(v)) {
        messages_.message(*problem, platform::MessageIcon::Exclamation);
        return false;
    }
    s_.water_level = static_cast<float>(v);
    return true;
}

}  // namespace quor::wave
