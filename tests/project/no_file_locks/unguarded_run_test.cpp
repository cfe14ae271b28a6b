// A disk that keeps no file locks (some network disks): this program
// stands in for one by refusing every open-file-description lock, as such
// a disk refuses it, and lets every other file control through (the
// geodatabase's own locks among them).
#include <dlfcn.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdarg>

#include "project/project_locks.h"
#include "project/run_hold.h"
#include "../project_fixture.h"

namespace {
bool refuseLocks = false;
}  // namespace

extern "C" int fcntl(int fd, int cmd, ...) {
    va_list ap;
    va_start(ap, cmd);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (refuseLocks && cmd == F_OFD_SETLK) {
        errno = ENOLCK;
        return -1;
    }
    using Real = int (*)(int, int, ...);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "fcntl"));
    return real(fd, cmd, arg);
}

using namespace quor;
using namespace quor::project;
using namespace quor::project::testing;

TEST(UnguardedRun, GoesAheadAndIsToldOnce) {
    Workbench wb;
    wb.newProject();
    wb.form.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point, {},
                                            pg::SpatialReference::fromEpsg(32755));
    CountingRunStart start(wb);
    refuseLocks = true;
    EXPECT_TRUE(start.dialog.Command1_Click("Pointdata1", false, [] {}));
    EXPECT_TRUE(start.dialog.Command1_Click("Pointdata1", false, [] {}));
    refuseLocks = false;
    EXPECT_EQ(start.runs, 2);
    EXPECT_EQ(wb.messageTexts(), std::vector<std::string>{kUnguardedRun});
}

// A project can be neither made nor opened there: the user is told why,
// not what the geodatabase says about it.
TEST(NoFileLocks, NewAndOpenProjectSayThatTheFolderCannotLockFiles) {
    Workbench wb;
    const std::string file = wb.newProject();
    wb.messages.answers = {true};
    wb.commands->RemPr_Click();
    wb.messages.entries.clear();

    refuseLocks = true;
    wb.window.files = {file};
    wb.commands->OpenPr_Click();
    wb.newProject();
    refuseLocks = false;
    EXPECT_EQ(wb.messageTexts(),
              (std::vector<std::string>{noFileLocksText(wb.projects, "open"),
                                        "Error creating the project file: " + noFileLocksText(wb.projects, "create")}));
    EXPECT_EQ(wb.window.treeNodeCount(), 0);
}
