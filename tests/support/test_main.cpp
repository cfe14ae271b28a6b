// One main for every test executable: a QApplication on the offscreen
// platform (widget tests need it, the rest do not mind) and Qt's test
// locations, so that no test touches the user's real settings or folders.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/ui/without_opengl.h"

namespace {

// The program's temporary files go into a folder of its own in the build's
// test folder, locked for as long as the program runs: two test runs in one
// build never remove each other's files, and tests/remove_free_folders.sh
// removes the folder once the program has ended, however it ended (QGIS
// leaves folders of its own behind, and a program killed by its timeout
// everything). The folder is locked before it takes its name, so that the
// remover never finds it unlocked while it is in use.
void useAFolderOfItsOwn(const char* program) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(QUOR_TEST_TMP, ec);
    std::string making = std::string(QUOR_TEST_TMP) + "/.making.XXXXXX";
    if (ec || !mkdtemp(making.data())) return;
    // As open as the build folder: some tests run a program as another
    // account on files in it.
    fs::permissions(making, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec, ec);
    // Never closed: the lock lasts as long as the process, and no program
    // it starts inherits it.
    const int lock = open((making + "/lock").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) return;
    const std::string folder = std::string(QUOR_TEST_TMP) + "/" + fs::path(program).filename().string() + "." +
                               making.substr(making.size() - 6);
    if (std::rename(making.c_str(), folder.c_str()) == 0) setenv("TMPDIR", folder.c_str(), 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    useAFolderOfItsOwn(argv[0]);
    quor::platform::ui::drawWithoutOpenGl();
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
