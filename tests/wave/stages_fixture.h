#pragma once
// A model state with the start-up parameters, recording fakes and a depth
// field given as a function of the position along an eastward ray.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "stage_parameters.h"
#include "test_support.h"
#include "wave/debug_files.h"
#include "wave/depth_sampler.h"
#include "wave/hyperbolic.h"
#include "wave/wave_first.h"
#include "wave/wave_second.h"
#include "wave/wave_third.h"

namespace quor::wave::testing {

struct StageRig {
    model::ModelState st;
    model::SettingsHolder settings;
    test::RecordingMessages messages;
    test::RecordingProgress progress;
    DebugFileReporter debug{messages};
    // Depth field by distance east of the site (rays run along +x from 0,0).
    std::function<DepthSample(double x)> field = [](double) { return DepthSample::of(-10); };
    int identifies = 0;
    FunctionDepthSampler sampler{[this](const MapPoint& p) {
        ++identifies;
        return field(p.x);
    }};
    float unitfactor = 1;

    StageRig() {
        test::setStartupStageParameters(st);
        st.cell_step = 9.9;
    }
    StageContext ctx() { return StageContext{st, sampler, unitfactor, messages, debug}; }
};

inline RaySegment eastRay(double length) { return {{0, 0}, {length, 0}}; }

// Deep-water growth law written out here, independently of the stages.
inline double smbHeight(double fetch, double U) {
    return 0.283 * std::tanh(0.0125 * std::pow(9.81 * fetch / (U * U), 0.42)) * U * U / 9.81;
}
inline double deepPeriod(double fetch, double U) {
    const double A = 0.077 * std::pow(9.81 * fetch / (U * U), 0.25);
    return 1.2 * std::tanh(A) * 2 * 3.1416 * U / 9.81;
}
inline double deepLength(double T0) { return 9.81 * T0 * T0 / (2 * 3.1416); }

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
inline std::vector<std::string> crlfLines(const std::string& text) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t e = text.find("\r\n", pos);
        if (e == std::string::npos) {
            out.push_back(text.substr(pos));
            break;
        }
        out.push_back(text.substr(pos, e - pos));
        pos = e + 2;
    }
    return out;
}

}  // namespace quor::wave::testing
