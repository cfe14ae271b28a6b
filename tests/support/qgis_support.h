#pragma once
// For widget tests that need QGIS's libraries (the map view): starts them
// once per test program, on the offscreen platform like every widget test.
#include <gtest/gtest.h>

namespace quor::app {
class MapView;
}

namespace quor::test {

void requireQgis();

// Waits until the view has finished a draw started after this call;
// false when none finished within the time.
bool drawAndWait(app::MapView& view, int timeoutMs = 30000);

// A fixture base that starts QGIS before its tests.
struct QgisTest : ::testing::Test {
    static void SetUpTestSuite() { requireQgis(); }
};

}  // namespace quor::test
