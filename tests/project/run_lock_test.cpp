// One run per project across programs: a second program is told that the
// project is running elsewhere, and a program that dies lets it go.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file_lock.h"
#include "project/ptdatasel.h"
#include "project_fixture.h"

using namespace quor;
using namespace quor::project;
using namespace quor::project::testing;
using platform::ExclusiveFileLock;

namespace {

// What another process finds when it tries the lock once.
ExclusiveFileLock::State stateSeenByAnotherProcess(const std::string& path) {
    const pid_t pid = ::fork();
    if (pid == 0) _exit(static_cast<int>(ExclusiveFileLock(path).state()));
    int status = 0;
    ::waitpid(pid, &status, 0);
    return static_cast<ExclusiveFileLock::State>(WEXITSTATUS(status));
}

// Another process that takes the lock and keeps it until it is killed.
pid_t holdInAnotherProcess(const std::string& path) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ExclusiveFileLock lock(path);
        const char held = lock.held() ? 'H' : '-';
        if (::write(ready[1], &held, 1) != 1) _exit(1);
        for (;;) ::pause();
    }
    char held = 0;
    const bool ok = ::read(ready[0], &held, 1) == 1 && held == 'H';
    ::close(ready[0]);
    ::close(ready[1]);
    return ok ? pid : -1;
}

}  // namespace

TEST(ProjectRunLock, ASecondProgramIsRefusedUntilTheFirstEndsHoweverItEnds) {
    Workbench wb;
    wb.newProject();
    wb.form.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point, {},
                                            pg::SpatialReference::fromEpsg(32755));
    const std::string lockPath = projectLockPath(wb.form.projfile, wb.form.projname);
    RunDrivers drivers;
    std::vector<ExclusiveFileLock::State> seenDuringRuns;
    drivers.WaveMain = [&](const std::shared_ptr<pg::FeatureClass>&, int16_t, const PointDatasetChoice&) {
        seenDuringRuns.push_back(stateSeenByAnotherProcess(lockPath));
    };
    ptdatasel dialog(wb.state, wb.form, wb.holder, wb.map, wb.messages, drivers);
    int idle = 0;
    dialog.runIdle = [&] { ++idle; };
    dialog.Form_Load();

    // Another Quor runs the project: this one is told so and does not run.
    const pid_t other = holdInAnotherProcess(lockPath);
    ASSERT_GT(other, 0);
    wb.messages.entries.clear();
    bool unloaded = false;
    EXPECT_TRUE(dialog.Command1_Click("Pointdata1", false, [&] { unloaded = true; }));
    EXPECT_EQ(wb.messageTexts(), std::vector<std::string>{kProjectRunElsewhere});
    EXPECT_TRUE(seenDuringRuns.empty());
    EXPECT_TRUE(unloaded);
    EXPECT_EQ(idle, 1);

    // It dies without a word: the system lets the lock go, and this run
    // holds it against everyone else while it lasts.
    ::kill(other, SIGKILL);
    ::waitpid(other, nullptr, 0);
    wb.messages.entries.clear();
    EXPECT_TRUE(dialog.Command1_Click("Pointdata1", false, [] {}));
    EXPECT_TRUE(wb.messages.entries.empty());
    EXPECT_EQ(seenDuringRuns, std::vector<ExclusiveFileLock::State>{ExclusiveFileLock::State::HeldElsewhere});
    EXPECT_EQ(stateSeenByAnotherProcess(lockPath), ExclusiveFileLock::State::Held);

    // Delete leaves a project alone while another program runs it.
    const pid_t runner = holdInAnotherProcess(lockPath);
    ASSERT_GT(runner, 0);
    wb.window.tree.clear();  // not open here
    wb.window.files = {projectFilePath(wb.form.projfile, wb.form.projname, wb.state.model_mode)};
    wb.commands->del_Click();
    EXPECT_EQ(wb.messageTexts().back(), kProjectRunElsewhere);
    EXPECT_TRUE(fs::exists(wb.projects + "/" + wb.form.geodatabasename));
    ::kill(runner, SIGKILL);
    ::waitpid(runner, nullptr, 0);
}
