#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QTreeView>
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

namespace {
void typeInto(QWidget* w, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(w, &release);
    }
}
}  // namespace

// Where the chooser opens, the path box and type-ahead in the list.
TEST(DatasetChooserDialog, OpensInTheProjectFolderThenTheLastFolderTakesATypedPathAndFindsATypedName) {
    quor::test::TempDir project, other;
    std::ofstream(project.file("coast.tif")) << "x";
    std::ofstream(project.file("depth.tif")) << "x";
    std::ofstream(other.file("grid.tif")) << "x";

    {
        DatasetChooserDialog dlg(DatasetFilter::Rasters, "Select a Bathymetry Coverage", nullptr,
                                 QString::fromStdString(project.path()));
        EXPECT_EQ(dlg.startFolder().toStdString(), project.path());
        // A pasted path is taken as chosen.
        dlg.pathBox()->setFocus();
        dlg.pathBox()->selectAll();
        typeInto(dlg.pathBox(), QString::fromStdString(other.file("grid.tif")));
        QElapsedTimer t;
        t.start();
        while (dlg.selectedItems().empty() && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        ASSERT_EQ(dlg.selectedItems().size(), 1u) << dlg.pathBox()->text().toStdString();
        EXPECT_EQ(dlg.selectedItems()[0].path, other.file("grid.tif"));
        EXPECT_TRUE(dlg.canAccept());
    }
    {
        DatasetChooserDialog dlg(DatasetFilter::Rasters, "Select a Bathymetry Coverage", nullptr,
                                 QString::fromStdString(project.path()));
        auto* files = static_cast<QFileSystemModel*>(dlg.list()->model());
        const QModelIndex folder = files->index(QString::fromStdString(project.path()));
        QElapsedTimer t;
        t.start();
        while (files->rowCount(folder) < 2 && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        ASSERT_EQ(files->rowCount(folder), 2);
        // The list shows the start folder opened, not the top of the disk.
        dlg.show();
        QCoreApplication::processEvents();
        EXPECT_TRUE(dlg.list()->isExpanded(folder));
        EXPECT_TRUE(dlg.list()->viewport()->rect().intersects(dlg.list()->visualRect(folder)));
        typeInto(dlg.list(), "dep");
        ASSERT_EQ(dlg.selectedItems().size(), 1u);
        EXPECT_EQ(dlg.selectedItems()[0].path, project.file("depth.tif"));
    }
    // Once a dataset has been chosen, the next chooser opens in its folder.
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = dynamic_cast<DatasetChooserDialog*>(w); d && d->isVisible() && selectSoon(*d, other.file("grid.tif")))
                d->accept();
    });
    user.start(20);
    quor::gis::ui::QtDatasetChooser chooser(nullptr, [&] { return project.path(); });
    const auto chosen = chooser.choose(DatasetFilter::Rasters, "Select a Bathymetry Coverage");
    user.stop();
    ASSERT_TRUE(chosen && chosen->size() == 1);
    DatasetChooserDialog again(DatasetFilter::Rasters, "Select a Bathymetry Coverage", nullptr,
                               QString::fromStdString(project.path()));
    EXPECT_EQ(again.startFolder().toStdString(), other.path());
}

// The path box reads "~" as the home folder, as the README's steps type
// it, and says in the dialog why it cannot take a path.
TEST(DatasetChooserDialog, TakesATypedPathUnderTheHomeFolderAndSaysWhyItCannotTakeOne) {
    quor::test::TempDir home;
    std::filesystem::create_directories(home.file("bay"));
    std::ofstream(home.file("bay/bathy.tif")) << "x";
    std::ofstream(home.file("bay/notes.txt")) << "x";
    quor::test::HomeFolder homeFolder(home.path());

    DatasetChooserDialog dlg(DatasetFilter::Rasters, "Select a Bathymetry Coverage");
    dlg.show();
    const auto type = [&](const QString& text) {
        dlg.pathBox()->setFocus();
        dlg.pathBox()->selectAll();
        typeInto(dlg.pathBox(), text);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(dlg.pathBox(), &enter);
    };
    const auto told = [&] {
        for (const QLabel* label : dlg.findChildren<QLabel*>())
            if (label->isVisibleTo(&dlg) && !label->text().isEmpty()) return label->text().toStdString();
        return std::string();
    };

    dlg.pathBox()->setFocus();
    dlg.pathBox()->selectAll();
    typeInto(dlg.pathBox(), "~/bay/bathy.tif");
    QElapsedTimer t;
    t.start();
    while (dlg.selectedItems().empty() && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(dlg.selectedItems().size(), 1u);
    EXPECT_EQ(dlg.selectedItems()[0].path, home.file("bay/bathy.tif"));
    EXPECT_TRUE(dlg.canAccept());
    EXPECT_EQ(told(), "");

    // Enter does not choose what was chosen before the box's path.
    type("~/bay/bathy2.tif");
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_FALSE(dlg.canAccept());
    EXPECT_EQ(told(), "There is no file or folder " + home.file("bay/bathy2.tif") + ".");
    type("~/bay/notes.txt");
    EXPECT_FALSE(dlg.canAccept());
    EXPECT_NE(told().find(home.file("bay/notes.txt") + " is not a raster"), std::string::npos) << told();
}
