#include <gtest/gtest.h>

#include <cmath>

#include "gis/geodatabase.h"
#include "model/model_state.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/map.h"
#include "platform/gis/workspace.h"
#include "test_support.h"
#include "wave/eff_fetch.h"

using namespace quor;
using namespace quor::wave;
namespace pg = quor::platform::gis;

namespace {
struct Site {
    test::TempDir tmp;
    model::ModelState state;
    model::MainFormState mainform;
    pg::Map map;
    test::RecordingMessages messages;
    std::shared_ptr<pg::FeatureClass> orp;
    pg::Point site{320000, 5800000};

    Site() {
        mainform.ptworkspace = gis::createWorkspace(tmp.path(), "proj");
        orp = gis::createWorkspaceFeatureClass(mainform.ptworkspace, "orp_rays", gis::ftype_simple,
                                               gis::geom_polyline, messages);
    }
    void piece(int dir, double length, int n) {
        const double a = dir * (360.0 / n) * M_PI / 180;
        pg::Feature f = orp->createFeature();
        f.setShape(pg::Geometry::line(site, {site.x + length * std::sin(a), site.y + length * std::cos(a)}));
        f.setValue("Dir", std::int64_t{dir});
        orp->store(f);
    }
};
}  // namespace

TEST(EffectiveFetchClasses, FillsFetchesDrawsRaysAndTakesThePiecesLayerOff) {
    Site s;
    const int n = 16;
    for (int d = 0; d < n; ++d)
        if (d != 3) s.piece(d, 1000.2, n);
    s.piece(0, 1500.5, n);  // a second piece of direction 0 read later: 1500.5 -> 1500 (half to even)

    auto bottom = pg::Layer::featureLayer(s.orp, "some project layer");
    s.map.addLayer(bottom);
    s.map.addLayer(pg::Layer::featureLayer(s.orp, "orp_rays"));
    s.map.addLayer(pg::Layer::featureLayer(s.mainform.ptworkspace->openFeatureClass("orp_rays"), "again"));

    wave_effFetch_cls ef(s.state, s.mainform, s.map, s.messages);
    auto eff = ef.effFetch(s.orp, n, s.site);
    ASSERT_TRUE(eff);
    EXPECT_EQ(eff->name(), "EffF_rays");
    EXPECT_EQ(s.state.fetcharray(0), 1117);  // pulled down by its shorter neighbours
    EXPECT_EQ(s.state.fetcharray(1), 942);
    EXPECT_EQ(s.state.fetcharray(2), 866);
    EXPECT_EQ(s.state.fetcharray(3), 0);
    EXPECT_EQ(s.state.fetcharray(5), 834);
    EXPECT_EQ(s.state.fetcharray(15), 1000);  // capped at its own length
    EXPECT_EQ(s.state.fetcharray(16), 0);
    EXPECT_TRUE(s.messages.entries.empty());

    ASSERT_EQ(eff->featureCount(), n);
    for (int d = 0; d < n; ++d) {
        const pg::Feature f = eff->feature(d + 1);
        EXPECT_EQ(pg::toInt(f.value("Dir")), d);
        const auto& path = f.shape().part(0);
        ASSERT_EQ(path.size(), 2u);
        EXPECT_NEAR(path[0].x, s.site.x, 1e-6);
        EXPECT_NEAR(path[0].y, s.site.y, 1e-6);
        EXPECT_NEAR(f.shape().length(), s.state.fetcharray(d), 1e-6) << d;
        const double a = d * (360.0 / n) * 3.14159 / 180;
        EXPECT_NEAR(path[1].x, s.site.x + s.state.fetcharray(d) * std::sin(a), 1e-6);
        EXPECT_NEAR(path[1].y, s.site.y + s.state.fetcharray(d) * std::cos(a), 1e-6);
    }
    // One layer of the kept pieces went (the topmost one showing them).
    ASSERT_EQ(s.map.layerCount(), 2);
    EXPECT_EQ(s.map.layer(0)->name(), "orp_rays");
    EXPECT_EQ(s.map.layer(1), bottom);
}

TEST(EffectiveFetchClasses, NoPiecesGiveZeroLengthLinesAtTheSite) {
    Site s;
    wave_effFetch_cls ef(s.state, s.mainform, s.map, s.messages);
    auto eff = ef.effFetch(s.orp, 32, s.site);
    ASSERT_EQ(eff->featureCount(), 32);
    for (int d = 0; d < 32; ++d) {
        EXPECT_EQ(s.state.fetcharray(d), 0);
        EXPECT_EQ(eff->feature(d + 1).shape().length(), 0);
    }
}

TEST(EffectiveFetchClasses, FailuresReachTheCaller) {
    {
        // A gap in the object ids of the kept pieces.
        Site s;
        for (int d = 0; d < 16; ++d) s.piece(d, 500, 16);
        s.orp->deleteFeature(4);
        wave_effFetch_cls ef(s.state, s.mainform, s.map, s.messages);
        EXPECT_THROW(ef.effFetch(s.orp, 16, s.site), pg::GisError);
        EXPECT_FALSE(s.mainform.ptworkspace->hasFeatureClass("EffF_rays"));
    }
    {
        // "EffF_rays" left over: the creation tells the user and the step fails.
        Site s;
        for (int d = 0; d < 16; ++d) s.piece(d, 500, 16);
        gis::createWorkspaceFeatureClass(s.mainform.ptworkspace, "EffF_rays", gis::ftype_simple, gis::geom_polyline,
                                         s.messages);
        wave_effFetch_cls ef(s.state, s.mainform, s.map, s.messages);
        EXPECT_THROW(ef.effFetch(s.orp, 16, s.site), pg::GisError);
        ASSERT_EQ(s.messages.entries.size(), 1u);
        EXPECT_EQ(s.messages.entries[0].title, "createWorkspaceFeatureClass");
        EXPECT_EQ(s.state.fetcharray(0), 500);  // computed before the failure
    }
}
