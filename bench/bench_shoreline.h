#pragma once
// The large synthetic coast the ray and run benchmarks share: a wavy coast of
// 60,000 vertices around a 200 km square and 2,000 wavy islands of 20
// vertices over the inner 160 km, 100,000 vertices in all.
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "../tests/gis/rays_test_data.h"
#include "platform/feedback.h"

namespace quor::bench {

// Answers every question with Yes and keeps the last message.
class QuietMessages final : public platform::Messages {
public:
    void message(const std::string& text, platform::MessageIcon, const std::string&) override { last = text; }
    bool question(const std::string&, const std::string&) override { return true; }
    std::string last;
};

// Islands whose centre lies within `clearRadius` of the square's centre are
// left out, so that sites there stay wet.
inline std::vector<std::vector<gis::testdata::Ring>> bigShoreline(unsigned seed, double clearRadius = 0) {
    using gis::testdata::Ring;
    std::vector<Ring> rings;
    Ring outer;
    const int nOuter = 60000;
    for (int i = 0; i < nOuter; ++i) {
        const double t = 2 * M_PI * i / nOuter;
        const double r = 100000 + 1500 * std::sin(37 * t) + 400 * std::sin(613 * t);
        outer.push_back({100000 + r * std::cos(t) * 0.999, 100000 + r * std::sin(t) * 0.999});
    }
    rings.push_back(outer);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> pos(30000, 170000), size(150, 600);
    for (int k = 0; k < 2000; ++k) {
        const double cx = pos(rng), cy = pos(rng), s = size(rng);
        if (std::hypot(cx - 100000, cy - 100000) < clearRadius) continue;
        Ring isl;
        for (int i = 0; i < 20; ++i) {
            const double t = -2 * M_PI * i / 20;
            const double r = s * (1 + 0.25 * std::sin(3 * t));
            isl.push_back({cx + r * std::cos(t), cy + r * std::sin(t)});
        }
        rings.push_back(isl);
    }
    return {rings};
}

}  // namespace quor::bench
