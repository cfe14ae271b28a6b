#pragma once
// For widget tests that need QGIS's libraries (the map view): starts them
// once per test program, before its first test, on the offscreen platform
// like every widget test.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

#include "app/map_tools.h"

namespace quor::test {

void requireQgis();

// Waits until the view has finished a draw started after this call;
// false when none finished within the time.
bool drawAndWait(app::MapView& view, int timeoutMs = 30000);

// Toolbar buttons as plain values: down or up by toolbar and key.
struct FakeButtons final : app::ToolButtons {
    std::map<std::pair<int, std::string>, bool> down;
    bool pressed(int toolbar, const std::string& key) const override {
        auto it = down.find({toolbar, key});
        return it != down.end() && it->second;
    }
    void setPressed(int toolbar, const std::string& key, bool d) override { down[{toolbar, key}] = d; }
};

// A fixture base that starts QGIS before its tests.
struct QgisTest : ::testing::Test {
    static void SetUpTestSuite() { requireQgis(); }
};

}  // namespace quor::test
