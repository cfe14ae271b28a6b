#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>

#include "app/small_dialogs.h"
#include "platform/gis/spatial_reference.h"
#include "test_support.h"

using namespace quor;
namespace pg = quor::platform::gis;

TEST(ProjectionProperties, TypeLineThenFourDescriptiveLines) {
    const auto utm = app::projectionLines(pg::SpatialReference::fromEpsg(32755));
    ASSERT_EQ(utm.size(), 5u);
    EXPECT_EQ(utm[0], "Projected coordinate system");
    EXPECT_EQ(utm[1], "WGS 84 / UTM zone 55S");
    EXPECT_EQ(utm[3], "EPSG:32755");
    EXPECT_EQ(utm[4], "WGS_1984_UTM_Zone_55S");
    const auto geo = app::projectionLines(pg::SpatialReference::fromEpsg(4326));
    ASSERT_EQ(geo.size(), 5u);
    EXPECT_EQ(geo[0], "Geographic coordinate system");
    // Geocentric: neither kind, no type line.
    const auto geocentric = app::projectionLines(pg::SpatialReference::fromEpsg(4978));
    ASSERT_EQ(geocentric.size(), 4u);
    EXPECT_EQ(geocentric[0], "WGS 84");
}

TEST(ProjectionProperties, NoReferenceGivesTheMessageAndASecondCallListsTwice) {
    test::RecordingMessages messages;
    model::MainFormState form;
    form.xscreen = 1000;
    form.yscreen = 800;
    QPointer<app::proj_prop> dialog;
    app::showprojection({}, messages, form, nullptr, dialog);
    EXPECT_TRUE(dialog.isNull());
    ASSERT_EQ(messages.entries.size(), 1u);
    EXPECT_EQ(messages.entries[0].text, "Shapefile doesn't have spatial reference");
    EXPECT_EQ(messages.entries[0].icon, platform::MessageIcon::Critical);

    const auto sr = pg::SpatialReference::fromEpsg(32755);
    app::showprojection(sr, messages, form, nullptr, dialog);
    ASSERT_FALSE(dialog.isNull());
    EXPECT_EQ(dialog->windowTitle(), "  Projection Properties");
    EXPECT_EQ(dialog->x(), 500 - dialog->width() / 2);
    app::showprojection(sr, messages, form, nullptr, dialog);
    EXPECT_EQ(dialog->List1->count(), 10);
    EXPECT_EQ(dialog->List1->item(5)->text(), "Projected coordinate system");
    // OK unloads it; the next call starts an empty list.
    dialog->Command1->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());
    app::showprojection(sr, messages, form, nullptr, dialog);
    ASSERT_FALSE(dialog.isNull());
    EXPECT_EQ(dialog->List1->count(), 5);
    dialog->close();
}

TEST(AboutBox, NamesTheProgramItsVersionAndTheLinkedGisLibraries) {
    model::MainFormState form;
    auto* about = new app::About(form, nullptr);
    EXPECT_EQ(about->windowTitle(), "  About Quor");
    EXPECT_TRUE(about->Label1->text().startsWith("Quor\n"));
    EXPECT_TRUE(about->Label1->text().contains("Version 1.0"));
    const QString compiled = about->Label2->text();
    EXPECT_TRUE(compiled.contains("Compiled for QGIS 3.")) << compiled.toStdString();
    EXPECT_TRUE(compiled.contains(", GDAL ") && compiled.contains(", GEOS ") && compiled.contains(", PROJ "));
    about->close();
}

TEST(Disclaimer, OkWithoutAcceptingClosesWithoutTheMainWindow) {
    int shown = 0;
    auto* form2 = new app::Form2([&] { ++shown; });
    form2->show();
    QPointer<app::Form2> alive(form2);
    form2->Command1->click();  // nothing chosen
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
    EXPECT_EQ(shown, 0);

    form2 = new app::Form2([&] { ++shown; });
    alive = form2;
    form2->show();
    form2->Option1[0]->setChecked(true);
    form2->Command1->click();
    EXPECT_FALSE(form2->Frame1->isVisible());
    EXPECT_FALSE(form2->Label3->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown == 1; }, 5000));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
}

TEST(MdiFrame, LoadsTheDisclaimerWithoutShowingItAndNewProjectShowsProgress) {
    int progress = 0;
    app::MDIForm1 frame([&] { ++progress; });
    ASSERT_NE(frame.disclaimer(), nullptr);
    EXPECT_FALSE(frame.disclaimer()->isVisible());
    frame.Newpr_Click();
    EXPECT_EQ(progress, 1);
    EXPECT_EQ(frame.Toolbar3->actions().size(), 12);
    EXPECT_EQ(frame.Toolbar3->actions().back()->toolTip(), "Zoom Select");
}
