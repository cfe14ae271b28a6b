// What the program itself leaves in the user's folders when it starts.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QThread>

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

// Starts the program in `home` with its settings under `config` and ends
// it once start-up is over: the web-address keys are written, and the
// toolkits have written their own settings by then too.
void startUpAndEnd(const QString& home, const QString& config) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", config);
    env.remove("XDG_DATA_HOME");
    env.remove("XDG_CACHE_HOME");
    env.insert("QT_QPA_PLATFORM", "offscreen");
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

}  // namespace
