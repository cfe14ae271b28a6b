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

TEST(Program, WritesOnlyItsOwnSettingsFileWithBothWebAddressKeys) {
    test::TempDir home;
    const QString config = QString::fromStdString(home.path()) + "/config";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(home.path()));
    env.insert("XDG_CONFIG_HOME", config);
    env.remove("XDG_DATA_HOME");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(QUOR_PROGRAM), QStringList());
    ASSERT_TRUE(program.waitForStarted(10000));

    // Start-up is over once the web-address keys are written; the toolkits
    // have written their own settings by then too.
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

}  // namespace
