#include <gtest/gtest.h>

#include "platform/gis/gis.h"
#include "test_support.h"

using namespace quor::platform::gis;

TEST(MapModel, NewLayersGoOnTopAndCanBeMovedFoundAndDeleted) {
    quor::test::TempDir dir;
    auto ws = Workspace::createGeoPackage(dir.file("p.gpkg"));
    auto a = ws->createFeatureClass("Pointdata1", GeometryType::Point, {}, SpatialReference::fromEpsg(32755));
    Feature f = a->createFeature();
    f.setShape(Geometry::point(10, 20));
    a->store(f);
    f = a->createFeature();
    f.setShape(Geometry::point(30, 5));
    a->store(f);

    Map map;
    int changes = 0;
    const int id = map.addListener([&] { ++changes; });
    auto bathy = Layer::featureLayer(a, "bathy");
    auto shore = Layer::featureLayer(a, "shore");
    auto rays = Layer::featureLayer(a);  // named after the class
    map.addLayer(bathy);
    map.addLayer(shore);
    map.addLayer(rays);
    EXPECT_EQ(map.layerCount(), 3);
    EXPECT_EQ(map.layer(0), rays);
    EXPECT_EQ(map.layer(2), bathy);
    EXPECT_EQ(rays->name(), "Pointdata1");
    EXPECT_EQ(map.spatialReference().epsgCode(), 32755);  // from the first layer
    EXPECT_EQ(map.findLayer("shore"), 1);
    EXPECT_EQ(map.findLayer("Shore"), -1);  // names match exactly
    EXPECT_EQ(map.fullExtent(), (Envelope{10, 5, 30, 20}));
    EXPECT_EQ(map.extent(), map.fullExtent());

    map.moveLayer(0, 2);
    EXPECT_EQ(map.layer(2), rays);
    EXPECT_EQ(map.layer(0), shore);
    map.deleteLayer(1);
    EXPECT_EQ(map.layer(1), rays);
    EXPECT_TRUE(map.deleteLayer(shore));
    EXPECT_FALSE(map.deleteLayer(shore));
    EXPECT_EQ(map.layerCount(), 1);
    EXPECT_THROW(map.layer(1), GisError);
    EXPECT_THROW(map.deleteLayer(5), GisError);
    EXPECT_THROW(map.moveLayer(0, 1), GisError);

    rays->setVisible(false);
    EXPECT_FALSE(rays->visible());
    EXPECT_EQ(rays->selectIntersecting(Geometry::polygon({{0, 0}, {15, 0}, {15, 25}, {0, 25}})),
              (std::vector<std::int64_t>{1}));
    map.setExtent({0, 0, 1, 1});
    EXPECT_EQ(map.extent(), (Envelope{0, 0, 1, 1}));

    // A layer whose class was deleted adds nothing to the full extent.
    ws->deleteFeatureClass("Pointdata1");
    EXPECT_TRUE(map.fullExtent().isEmpty());

    const int before = changes;
    map.clearLayers();
    EXPECT_EQ(changes, before + 1);
    map.removeListener(id);
    map.refresh();
    EXPECT_EQ(changes, before + 1);
}
