// What the program itself leaves in the user's folders when it starts.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QSettings>
#include <QThread>

#include <functional>

#include "test_support.h"

using namespace quor;

namespace {

QStringList filesBelow(const QString& folder) {
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) out << QDir(folder).relativeFilePath(it.next());
    out.sort();
    return out;
}

// Starts the program in `home` with its settings under `config`, on the
// platform the test runs on, and ends it once start-up is over: the
// web-address keys are written, and the toolkits have written their own
// settings by then too. `look` is given the program's process id before it
// ends.
void startUpAndEnd(const QString& home, const QString& config, const std::function<void(qint64)>& look = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", config);
    env.remove("XDG_DATA_HOME");
    env.remove("XDG_CACHE_HOME");
    env.insert("QT_QPA_PLATFORM", QGuiApplication::platformName());
    // The program's own choice, not the one the test programs make.
    env.remove("QT_XCB_GL_INTEGRATION");
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(QUOR_PROGRAM), QStringList());
    ASSERT_TRUE(program.waitForStarted(10000));

    const QString ini = config + "/Quor/Quor3.ini";
    QElapsedTimer clock;
    clock.start();
    auto keysWritten = [&] {
        QSettings s(ini, QSettings::IniFormat);
        return s.contains("Settings/quor_website") && s.contains("Settings/kobu_website");
    };
    while (!keysWritten() && clock.elapsed() < 60000 && program.state() == QProcess::Running)
        program.waitForFinished(200);
    program.waitForFinished(2000);
    if (look && program.state() == QProcess::Running) look(program.processId());
    program.kill();
    program.waitForFinished(5000);
}

TEST(Program, WritesOnlyItsOwnSettingsFileWithBothWebAddressKeys) {
    test::TempDir home;
    const QString config = QString::fromStdString(home.path()) + "/config";
    startUpAndEnd(QString::fromStdString(home.path()), config);
    const QString ini = config + "/Quor/Quor3.ini";

    QSettings s(ini, QSettings::IniFormat);
    EXPECT_TRUE(s.contains("Settings/kobu_website"));
    EXPECT_TRUE(s.contains("Settings/quor_website"));
    EXPECT_EQ(s.value("Settings/kobu_website").toString(), "");
    EXPECT_EQ(s.value("Settings/quor_website").toString(), "");

    EXPECT_EQ(filesBelow(config).join(", ").toStdString(), "Quor/Quor3.ini");
    // Everything else stays in the program's own data folder.
    for (const QString& f : filesBelow(QString::fromStdString(home.path())))
        EXPECT_TRUE(f.startsWith("config/Quor/") || f.startsWith(".local/share/Quor/")) << f.toStdString();
}

// Empty folders too stay where the program says it keeps things: its
// settings, its QGIS folder and its data folder.
TEST(Program, MakesNoFolderOutsideItsOwn) {
    test::TempDir home;
    const QString root = QString::fromStdString(home.path());
    startUpAndEnd(root, root + "/config");
    const QStringList own = {"config", "config/Quor", ".local", ".local/share", ".local/share/Quor", "Documents",
                             "Documents/Quor"};
    QDirIterator it(root, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString folder = QDir(root).relativeFilePath(it.next());
        EXPECT_TRUE(own.contains(folder) || folder.startsWith(".local/share/Quor/") ||
                    folder.startsWith("Documents/Quor/"))
            << folder.toStdString();
    }
}

// On a desktop's X display, as offscreen, the program loads no OpenGL
// integration, and with it no GL driver.
TEST(Program, LoadsNoOpenGlDriver) {
    test::TempDir home;
    const QString root = QString::fromStdString(home.path());
    QString loaded;
    startUpAndEnd(root, root + "/config", [&](qint64 pid) {
        QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
        if (maps.open(QIODevice::ReadOnly)) loaded = QString::fromUtf8(maps.readAll());
    });
    ASSERT_TRUE(loaded.contains("libQt5Gui")) << "the program was not seen running";
    for (const char* gl : {"xcb-glx-integration", "xcb-egl-integration", "libGLX_", "libEGL_", "_dri.so", "libgallium"})
        EXPECT_FALSE(loaded.contains(gl)) << gl;
}

}  // namespace
