#include <gtest/gtest.h>

#include <gdal_priv.h>

#include <QDialog>
#include <QTreeWidget>

#include <memory>

#include "app/identify_dialog.h"
#include "gis/geodatabase.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/raster.h"
#include "platform/gis/workspace.h"
#include "test_support.h"

using namespace quor;
namespace pg = quor::platform::gis;

namespace {

// A 10 x 10 Float32 grid over 0..100 both ways, value = column, NoData in column 0.
std::string grid(const std::string& path) {
    GDALAllRegister();
    GDALDataset* ds = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.c_str(), 10, 10, 1, GDT_Float32, nullptr);
    double gt[6] = {0, 10, 0, 100, 0, -10};
    ds->SetGeoTransform(gt);
    GDALRasterBand* b = ds->GetRasterBand(1);
    b->SetNoDataValue(-9999);
    std::vector<float> v(100);
    for (int i = 0; i < 100; ++i) v[i] = i % 10 == 0 ? -9999.0f : static_cast<float>(i % 10) + 0.25f;
    if (b->RasterIO(GF_Write, 0, 0, 10, 10, v.data(), 10, 10, GDT_Float32, 0, 0) != CE_None) std::abort();
    GDALClose(ds);
    return path;
}

}  // namespace

TEST(Identify, ListsFeaturesNearThePointAndThePixelPerLayerFromTheTop) {
    test::TempDir dir;
    test::RecordingMessages messages;
    auto ws = gis::createWorkspace(dir.path(), "proj");
    auto fc = gis::createWorkspaceFeatureClass(ws, "Pointdata1", gis::ftype_simple, gis::geom_point, messages);
    for (double x : {50.0, 52.0, 80.0}) {
        pg::Feature f = fc->createFeature();
        f.setShape(pg::Geometry::point(x, 50));
        f.setValue("X", x);
        f.setValue("Y", 50.0);
        fc->store(f);
    }
    pg::Map map;
    map.addLayer(pg::Layer::rasterLayer(pg::Raster::open(grid(dir.file("g.tif"))), "bathy"));
    map.addLayer(pg::Layer::featureLayer(fc));

    auto r = app::identifyAt(map, 51, 50, 1.5);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].layer, "Pointdata1");
    ASSERT_EQ(r[0].items.size(), 2u) << "both points within the tolerance, the far one not";
    EXPECT_EQ(r[0].items[0][0], (std::pair<std::string, std::string>{"OBJECTID", "1"}));
    EXPECT_EQ(r[0].items[1][1].second, "52");
    EXPECT_EQ(r[1].layer, "bathy");
    EXPECT_EQ(r[1].items[0][0], (std::pair<std::string, std::string>{"Pixel value", "5.25"}));

    // NoData is listed as such; off the raster and away from points nothing is listed.
    r = app::identifyAt(map, 5, 5, 1);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].items[0][0].second, "NoData");
    EXPECT_TRUE(app::identifyAt(map, 500, 500, 1).empty());

    // A class deleted under its layer is left out, not a failure.
    ws->deleteFeatureClass("Pointdata1");
    r = app::identifyAt(map, 51, 50, 1.5);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].layer, "bathy");

    std::unique_ptr<QDialog> dlg(app::makeIdentifyDialog(r, nullptr));
    auto* tree = dlg->findChild<QTreeWidget*>("IdentifyTree");
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "bathy");
    EXPECT_EQ(tree->topLevelItem(0)->child(0)->text(1), "5.25");
}
