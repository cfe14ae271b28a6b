#include <gtest/gtest.h>

#include <QProcess>

// Test programs start QGIS without a QgsApplication. Their thread-pool
// threads end after the application object, some after main: under load
// one ended after the exit handlers had destroyed QGIS's coordinate
// caches and crashed the program after its tests had passed.
TEST(QgisRuntime, APoolThreadEndingAfterTheExitHandlersLeavesTheCoordinateCachesAlone) {
    QProcess probe;
    probe.start(QStringLiteral(QUOR_QGIS_EXIT_PROBE), QStringList());
    ASSERT_TRUE(probe.waitForStarted(10000));
    ASSERT_TRUE(probe.waitForFinished(60000));
    EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit) << probe.readAllStandardError().toStdString();
    EXPECT_EQ(probe.exitCode(), 0);
}
