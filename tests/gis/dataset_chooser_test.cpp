#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileSystemModel>

#include <filesystem>
#include <fstream>

#include "gis/ui/dataset_chooser.h"
#include "platform/gis/gis.h"
#include "test_support.h"

using namespace quor::gis;
using quor::gis::ui::DatasetChooserDialog;
namespace pg = quor::platform::gis;

namespace {
// The file model fills itself in the background; give it a moment.
bool selectSoon(DatasetChooserDialog& dlg, const std::string& path) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000) {
        if (dlg.selectPath(QString::fromStdString(path))) return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return false;
}
}  // namespace

TEST(DatasetChooserDialog, OffersRastersAndGridFoldersButNotPlainFolders) {
    quor::test::TempDir dir;
    std::filesystem::create_directories(dir.file("grid1"));
    std::ofstream(dir.file("grid1/hdr.adf")) << "x";
    std::filesystem::create_directories(dir.file("plain"));
    std::ofstream(dir.file("depth.tif")) << "x";

    DatasetChooserDialog dlg(DatasetFilter::Rasters, "Select a Bathymetry Coverage");
    EXPECT_EQ(dlg.windowTitle(), "Select a Bathymetry Coverage");
    ASSERT_TRUE(selectSoon(dlg, dir.file("grid1")));
    ASSERT_EQ(dlg.selectedItems().size(), 1u);
    EXPECT_EQ(dlg.selectedItems()[0].path, dir.file("grid1"));
    EXPECT_TRUE(dlg.canAccept());
    ASSERT_TRUE(selectSoon(dlg, dir.file("plain")));
    EXPECT_TRUE(dlg.selectedItems().empty());
    EXPECT_FALSE(dlg.canAccept());
    ASSERT_TRUE(selectSoon(dlg, dir.file("depth.tif")));
    EXPECT_EQ(dlg.selectedItems().at(0).path, dir.file("depth.tif"));
}

TEST(DatasetChooserDialog, FeatureClassesAreChosenInsideTheirWorkspace) {
    quor::test::TempDir dir;
    {
        auto ws = pg::Workspace::createGeoPackage(dir.file("coast.gpkg"));
        ws->createFeatureClass("polygon", pg::GeometryType::Polygon, {});
        ws->createFeatureClass("arc", pg::GeometryType::Polyline, {});
    }
    DatasetChooserDialog dlg(DatasetFilter::FeatureClasses, "Select a shoreline dataset");
    ASSERT_TRUE(selectSoon(dlg, dir.file("coast.gpkg")));
    EXPECT_EQ(dlg.classNames(), (QStringList{"polygon", "arc"}));
    EXPECT_FALSE(dlg.canAccept());  // a workspace alone is not a class
    ASSERT_TRUE(dlg.selectClass("polygon"));
    EXPECT_TRUE(dlg.canAccept());
    ASSERT_EQ(dlg.selectedItems().size(), 1u);
    EXPECT_EQ(dlg.selectedItems()[0].path, dir.file("coast.gpkg"));
    EXPECT_EQ(dlg.selectedItems()[0].className, "polygon");
    EXPECT_FALSE(dlg.selectClass("nothing"));
}
