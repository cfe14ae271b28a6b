#include <gtest/gtest.h>

#include <qgsgraduatedsymbolrenderer.h>
#include <qgsmaptopixel.h>
#include <qgsvectorlayer.h>

#include <QImage>

#include "app/class_breaks_renderer.h"
#include "app/map_view.h"
#include "gis/geodatabase.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/workspace.h"
#include "qgis_support.h"
#include "test_support.h"

using namespace quor;
namespace pg = quor::platform::gis;

namespace {

struct ClassBreaks : test::QgisTest {
    test::TempDir dir;
    test::RecordingMessages messages;
    std::shared_ptr<pg::Workspace> ws = gis::createWorkspace(dir.path(), "proj");
    app::MapView view;

    // 60 sites on a row, "Index" growing with x (site 59 far larger).
    std::shared_ptr<pg::FeatureClass> sites(bool withIndex) {
        std::vector<pg::FieldDef> fields = {{"X", pg::FieldType::Double}, {"Y", pg::FieldType::Double}};
        if (withIndex) fields.push_back({"Index", pg::FieldType::Double});
        auto fc = ws->createFeatureClass(withIndex ? "Pointdata1" : "Pointdata2", pg::GeometryType::Point, fields);
        for (int i = 0; i < 60; ++i) {
            pg::Feature f = fc->createFeature();
            f.setShape(pg::Geometry::point(i * 100.0, 0));
            if (withIndex) f.setValue("Index", i == 59 ? 1000.0 : i * 1.25);
            fc->store(f);
        }
        return fc;
    }
};

}  // namespace

TEST_F(ClassBreaks, FifteenGradedClassesOfIndexFromPaleToDarkRedEveryValueInAClass) {
    view.resize(800, 200);
    view.show();
    view.map().addLayer(pg::Layer::featureLayer(sites(true)));
    view.setVisibleBounds({-200, -500, 6100, 500});
    app::renderer_cls().CB(view);

    auto* layer = dynamic_cast<QgsVectorLayer*>(view.qgisLayer(*view.map().layer(0)));
    ASSERT_NE(layer, nullptr);
    auto* r = dynamic_cast<QgsGraduatedSymbolRenderer*>(layer->renderer());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->classAttribute(), "Index");
    ASSERT_EQ(r->ranges().size(), 15);
    EXPECT_EQ(layer->title(), "REI");
    EXPECT_EQ(r->ranges().front().symbol()->color(), QColor(255, 225, 225));
    EXPECT_EQ(r->ranges().back().symbol()->color(), QColor(140, 0, 0));
    EXPECT_DOUBLE_EQ(r->ranges().front().lowerValue(), 0);
    EXPECT_DOUBLE_EQ(r->ranges().back().upperValue(), 1000) << "the largest value has a class";
    EXPECT_TRUE(r->ranges().back().label().endsWith(" - 1000")) << r->ranges().back().label().toStdString();
    // Labels read "lower - upper" rounded to 2 decimals.
    for (const auto& range : r->ranges()) {
        const QStringList parts = range.label().split(" - ");
        ASSERT_EQ(parts.size(), 2);
        EXPECT_LE(parts[0].section('.', 1).size(), 2);
    }

    ASSERT_TRUE(test::drawAndWait(view));
    const QImage img = view.grab().toImage();
    const QPoint low = view.getCoordinateTransform()->transform(0, 0).toQPointF().toPoint();
    const QPoint high = view.getCoordinateTransform()->transform(5900, 0).toQPointF().toPoint();
    EXPECT_EQ(img.pixelColor(low), QColor(255, 225, 225));
    EXPECT_EQ(img.pixelColor(high), QColor(140, 0, 0));
}

TEST_F(ClassBreaks, ATopLayerWithoutIndexFailsToTheCaller) {
    view.map().addLayer(pg::Layer::featureLayer(sites(false)));
    EXPECT_THROW(app::renderer_cls().CB(view), std::exception);
    view.map().clearLayers();
    EXPECT_THROW(app::renderer_cls().CB(view), std::exception);
}
