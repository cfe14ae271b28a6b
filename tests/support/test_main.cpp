// One main for every test executable: a QApplication on the offscreen
// platform (widget tests need it, the rest do not mind) and Qt's test
// locations, so that no test touches the user's real settings or folders.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>

#include <cstdlib>
#include <filesystem>

#include "platform/ui/without_opengl.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Temporary files in the build folder, which every test run empties.
    std::error_code ec;
    std::filesystem::create_directories(QUOR_TEST_TMP, ec);
    if (!ec) setenv("TMPDIR", QUOR_TEST_TMP, 1);
    quor::platform::ui::drawWithoutOpenGl();
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
