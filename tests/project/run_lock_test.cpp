// One run per project and per point dataset across programs: a second
// program is told that the project is running elsewhere, a program that
// dies lets it go, and Save As and Delete leave a running project alone.
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "platform/file_lock.h"
#include "platform/file_replacement.h"
#include "project/project_locks.h"
#include "project/ptdatasel.h"
#include "project/run_hold.h"
#include "project_fixture.h"

using namespace quor;
using namespace quor::project;
using namespace quor::project::testing;
using platform::FileLock;

namespace {

// What another process finds when it tries a project's run lock once.
FileLock::State stateSeenByAnotherProcess(const std::string& path) {
    const pid_t pid = ::fork();
    if (pid == 0) _exit(static_cast<int>(FileLock(path, FileLock::Mode::Exclusive, kRunSlot).state()));
    int status = 0;
    ::waitpid(pid, &status, 0);
    return static_cast<FileLock::State>(WEXITSTATUS(status));
}

// Runs `body` in another process, which calls its argument once it holds
// what it took and then waits there until it is killed. The process id,
// or -1 when the body ended without holding anything (the process is gone).
pid_t holdingInAnotherProcess(const std::function<void(const std::function<void()>& holding)>& body) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        return -1;
    }
    if (pid == 0) {
        ::close(ready[0]);
        body([&] {
            const char held = 'H';
            if (::write(ready[1], &held, 1) != 1) _exit(1);
            for (;;) ::pause();
        });
        _exit(0);
    }
    ::close(ready[1]);
    char held = 0;
    const bool ok = ::read(ready[0], &held, 1) == 1 && held == 'H';
    ::close(ready[0]);
    if (!ok) ::waitpid(pid, nullptr, 0);
    return ok ? pid : -1;
}

// Another process that takes a project's run lock and keeps it until it is killed.
pid_t holdInAnotherProcess(const std::string& path) {
    return holdingInAnotherProcess([&](const std::function<void()>& holding) {
        FileLock lock(path, FileLock::Mode::Exclusive, kRunSlot);
        if (lock.held()) holding();
    });
}

void endProcess(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

}  // namespace

TEST(ProjectRunLock, ASecondProgramIsRefusedUntilTheFirstEndsHoweverItEnds) {
    Workbench wb;
    wb.newProject();
    wb.form.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point, {},
                                            pg::SpatialReference::fromEpsg(32755));
    const std::string lockPath = projectLockPath(wb.form.projfile, wb.form.projname);
    RunDrivers drivers;
    std::vector<FileLock::State> seenDuringRuns;
    drivers.WaveMain = [&](const std::shared_ptr<pg::FeatureClass>& fc, int16_t, const PointDatasetChoice&) {
        const RunLocks locks(&wb.state.run_lock, wb.form.projfile, wb.form.projname, *fc);
        if (!locks.admit(wb.messages, &wb.state.unguarded_run_told))
            seenDuringRuns.push_back(stateSeenByAnotherProcess(lockPath));
    };
    ptdatasel dialog(wb.state, wb.form, wb.holder, wb.map, wb.messages, drivers);
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

    // It dies without a word: the system lets the lock go, and this run
    // holds it against everyone else while it lasts.
    ::kill(other, SIGKILL);
    ::waitpid(other, nullptr, 0);
    wb.messages.entries.clear();
    EXPECT_TRUE(dialog.Command1_Click("Pointdata1", false, [] {}));
    EXPECT_TRUE(wb.messages.entries.empty());
    EXPECT_EQ(seenDuringRuns, std::vector<FileLock::State>{FileLock::State::HeldElsewhere});
    EXPECT_EQ(stateSeenByAnotherProcess(lockPath), FileLock::State::Held);

    // Delete leaves a project alone while another program runs it.
    const pid_t runner = holdInAnotherProcess(lockPath);
    ASSERT_GT(runner, 0);
    wb.window.tree.clear();  // not open here
    wb.form.projectHold.reset();
    wb.window.files = {projectFilePath(wb.form.projfile, wb.form.projname, wb.state.model_mode)};
    wb.commands->del_Click();
    EXPECT_EQ(wb.messageTexts().back(), projectRunElsewhereText(wb.form.projname));
    EXPECT_TRUE(fs::exists(wb.projects + "/" + wb.form.geodatabasename));
    ::kill(runner, SIGKILL);
    ::waitpid(runner, nullptr, 0);
}

// Removing a point dataset writes into the project's geodatabase: not
// while another Quor runs the project, and the file stays as it was.
TEST(ProjectRunLock, APointDatasetIsNotRemovedWhileAnotherProgramRunsTheProject) {
    Workbench wb;
    wb.newProject();
    wb.form.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point, {},
                                            pg::SpatialReference::fromEpsg(32755));
    const std::string gpkg = wb.form.ptworkspace->path();
    const std::string before = test::fileBytes(gpkg);
    const pid_t other = holdInAnotherProcess(projectLockPath(wb.form.projfile, wb.form.projname));
    ASSERT_GT(other, 0);
    wb.messages.answers = {true};
    wb.commands->rem_ptdata("Pointdata1");
    endProcess(other);
    EXPECT_EQ(wb.messageTexts().back(), kProjectRunElsewhere);
    EXPECT_TRUE(wb.form.ptworkspace->hasFeatureClass("Pointdata1"));
    EXPECT_TRUE(test::fileBytes(gpkg) == before);
}

TEST(ProjectRunLock, TwoProjectsNeverRunOnOneShapefileAtOnce) {
    Workbench wb;
    wb.newProject();
    const std::string folder = wb.data + "/pts", sites = folder + "/sites.shp";
    fs::create_directories(folder);
    pg::Workspace::open(folder)->createFeatureClass("sites", pg::GeometryType::Point, {},
                                                    pg::SpatialReference::fromEpsg(32755));
    const std::string otherProject = wb.tmp.file("elsewhere");
    fs::create_directories(otherProject);

    // Another Quor runs its own project on the same shapefile.
    const pid_t other = holdingInAnotherProcess([&](const std::function<void()>& holding) {
        auto app = std::make_unique<model::ApplicationState>();
        app->form.projfile = otherProject;
        app->form.projname = "other";
        test::RecordingMessages messages;
        pg::Map map;
        RunDrivers drivers;
        drivers.WaveMain = [&](const std::shared_ptr<pg::FeatureClass>& fc, int16_t, const PointDatasetChoice&) {
            const RunLocks locks(&app->state.run_lock, app->form.projfile, app->form.projname, *fc);
            if (!locks.admit(messages, &app->state.unguarded_run_told)) holding();
        };
        ptdatasel(app->state, app->form, app->holder, map, messages, drivers).Command1_Click(sites, false, {});
    });
    ASSERT_GT(other, 0);

    CountingRunStart start(wb);
    EXPECT_TRUE(start.dialog.Command1_Click(sites, false, [] {}));
    EXPECT_EQ(wb.messageTexts(), std::vector<std::string>{datasetRunElsewhereText(sites)});
    EXPECT_EQ(start.runs, 0);

    endProcess(other);
    wb.messages.entries.clear();
    EXPECT_TRUE(start.dialog.Command1_Click(sites, false, [] {}));
    EXPECT_TRUE(wb.messages.entries.empty());
    EXPECT_EQ(start.runs, 1);
}

TEST(ProjectRunLock, SaveAsNeverReplacesAProjectThatAnotherProgramRuns) {
    Workbench wb;
    const std::string running = wb.newProject();
    const std::string runningGdb = wb.projects + "/" + wb.form.geodatabasename;
    wb.form.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point, {},
                                            pg::SpatialReference::fromEpsg(32755));
    const std::string runningName = wb.form.projname;
    wb.newProject();  // the project open here
    const std::string openName = wb.form.projname;
    const std::string fileBefore = readBytes(running), gdbBefore = readBytes(runningGdb);
    const pid_t other = holdInAnotherProcess(projectLockPath(wb.projects, runningName));
    ASSERT_GT(other, 0);

    wb.messages.entries.clear();
    wb.window.files = {running};
    wb.commands->Savepra_Click();
    EXPECT_EQ(wb.messageTexts(), std::vector<std::string>{projectRunElsewhereText(runningName)});
    EXPECT_EQ(readBytes(running), fileBefore);
    EXPECT_TRUE(readBytes(runningGdb) == gdbBefore) << "its geodatabase was replaced";
    EXPECT_EQ(wb.form.projname, openName);
    endProcess(other);
}

TEST(ProjectRunLock, DeleteHoldsTheProjectFromItsQuestionUntilItsFilesAreGone) {
    Workbench wb;
    const std::string file = wb.newProject();
    const std::string gdb = wb.projects + "/" + wb.form.geodatabasename;
    const std::string lockPath = projectLockPath(wb.form.projfile, wb.form.projname);
    wb.window.tree.clear();  // not open here
    wb.form.projectHold.reset();

    // Another Quor starts a run on it while the question is open.
    pid_t other = 0;
    wb.messages.onQuestion = [&](const std::string&) { other = holdInAnotherProcess(lockPath); };
    wb.window.files = {file};
    wb.commands->del_Click();
    EXPECT_EQ(other, -1) << "a run started on a project being deleted";
    if (other > 0) endProcess(other);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(fs::exists(gdb));
}

namespace {

// Another Quor in a process of its own: `body` does what that program
// does and calls its argument once it holds what it took; it holds it
// until release(), then ends as a program ends.
class AnotherQuor {
public:
    explicit AnotherQuor(const std::function<void(const std::function<void()>& holding)>& body) {
        int ready[2], hold[2];
        if (::pipe(ready) != 0) return;
        if (::pipe(hold) != 0) {
            ::close(ready[0]);
            ::close(ready[1]);
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(hold[1]);
            body([&] {
                const char held = 'H';
                if (::write(ready[1], &held, 1) != 1) _exit(1);
                char c;
                while (::read(hold[0], &c, 1) > 0) {
                }
            });
            _exit(0);
        }
        ::close(ready[1]);
        ::close(hold[0]);
        release_ = hold[1];
        char held = 0;
        holding_ = pid_ > 0 && ::read(ready[0], &held, 1) == 1 && held == 'H';
        ::close(ready[0]);
    }
    ~AnotherQuor() { release(); }
    bool holding() const { return holding_; }
    void release() {
        if (release_ >= 0) ::close(release_);
        release_ = -1;
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool holding_ = false;
};

// A project made here and closed again, as another program finds it.
std::string closedProject(Workbench& wb) {
    const std::string file = wb.newProject();
    wb.messages.answers = {true};
    wb.commands->RemPr_Click();
    return file;
}

std::string nameOf(const std::string& projectFile) { return fs::path(projectFile).stem().string(); }

}  // namespace

TEST(ProjectOpenHold, AProjectOpenInAnotherQuorIsNeitherDeletedNorReplacedNorOpenedWhileClaimed) {
    Workbench wb;
    const std::string file = closedProject(wb);
    const std::string gdb = wb.projects + "/" + nameOf(file) + ".gpkg";
    AnotherQuor other([&](const std::function<void()>& holding) {
        Workbench there;
        there.window.files = {file};
        there.commands->OpenPr_Click();
        if (there.window.treeNodeCount() > 0) holding();
    });
    ASSERT_TRUE(other.holding());
    const std::string fileBefore = readBytes(file), gdbBefore = readBytes(gdb);

    wb.window.files = {file};
    wb.commands->del_Click();
    EXPECT_EQ(wb.messageTexts().back(),
              "The project " + nameOf(file) + " is open in another Quor and cannot be deleted. Please close it there "
              "first.");
    EXPECT_TRUE(fs::exists(file));
    EXPECT_TRUE(fs::exists(gdb));

    wb.newProject();
    const std::string openHere = wb.form.projname;
    wb.window.files = {file};
    wb.commands->Savepra_Click();
    EXPECT_EQ(wb.messageTexts().back(),
              "The project " + nameOf(file) + " is open in another Quor and cannot be replaced. Please close it there "
              "first.");
    EXPECT_EQ(wb.form.projname, openHere);
    EXPECT_EQ(readBytes(file), fileBefore);
    EXPECT_TRUE(readBytes(gdb) == gdbBefore) << "its geodatabase was replaced";

    // Closed there, it can go; while another program deletes it, it cannot be opened.
    other.release();
    AnotherQuor deleting([&](const std::function<void()>& holding) {
        ProjectClaim claim(wb.projects, nameOf(file));
        if (claim.obstacle() == ProjectClaim::Obstacle::None) holding();
    });
    ASSERT_TRUE(deleting.holding());
    wb.window.files = {file};
    wb.commands->OpenPr_Click();
    EXPECT_EQ(wb.messageTexts().back(), "Another Quor is deleting or replacing the project " + nameOf(file) +
                                            ". Please try again when it has finished.");
    EXPECT_EQ(wb.window.treeNodeCount(), 0);
    deleting.release();
    wb.window.files = {file};
    wb.commands->del_Click();
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(fs::exists(gdb));
}

TEST(ProjectOpenHold, DeleteAnsweredNoLeavesNoNewFileBehind) {
    Workbench wb;
    const std::string file = closedProject(wb);
    const std::string lockPath = projectLockPath(wb.projects, nameOf(file));
    fs::remove(lockPath);  // as a project copied from elsewhere comes
    wb.window.files = {file};
    wb.messages.answers = {false};
    wb.commands->del_Click();
    EXPECT_TRUE(fs::exists(file));
    EXPECT_FALSE(fs::exists(lockPath));
}

TEST(ProjectRunLock, SaveAsNeverCopiesAProjectInTheMiddleOfAnotherQuorsRun) {
    Workbench wb;
    wb.newProject();
    const std::string openHere = wb.form.projname;
    const pid_t runner = holdInAnotherProcess(projectLockPath(wb.form.projfile, wb.form.projname));
    ASSERT_GT(runner, 0);
    const std::string copy = wb.projects + "/copy" + projectExtension(wb.state.model_mode);
    wb.window.files = {copy};
    wb.messages.entries.clear();
    wb.commands->Savepra_Click();
    EXPECT_EQ(wb.messageTexts(), std::vector<std::string>{kProjectRunElsewhere});
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_FALSE(fs::exists(wb.projects + "/copy.gpkg"));
    EXPECT_EQ(wb.form.projname, openHere);
    endProcess(runner);
}

namespace {

constexpr uid_t kOtherAccount = 65534;

bool becomeAnotherAccount() {
    if (::geteuid() == kOtherAccount) return true;
    return ::setgroups(0, nullptr) == 0 && ::setresgid(kOtherAccount, kOtherAccount, kOtherAccount) == 0 &&
           ::setresuid(kOtherAccount, kOtherAccount, kOtherAccount) == 0;
}

// The body in a process of its own under another account, as a second
// user of a shared folder runs Quor; its exit status, or -1.
int exitStatusAsAnotherAccount(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) _exit(becomeAnotherAccount() ? body() : 100);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// A project made by this account under the usual umask, in a folder that
// both accounts may write: its lock file only this account may write.
struct SharedFolderProject {
    Workbench wb;
    std::string lockPath;
    SharedFolderProject() {
        const mode_t before = ::umask(022);
        wb.newProject();
        ::umask(before);
        for (const std::string& folder : {wb.tmp.path(), wb.projects})
            fs::permissions(folder, fs::perms::all);
        lockPath = projectLockPath(wb.form.projfile, wb.form.projname);
    }
};

}  // namespace

// Another account's Quor cannot write this account's lock file, and yet
// each sees what the other holds.
TEST(ProjectLocksAcrossAccounts, HoldsAndClaimsAreSeenOnALockFileTheOtherAccountCannotWrite) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to run a second process under another account";
    SharedFolderProject p;
    ASSERT_EQ(fs::status(p.lockPath).permissions() & fs::perms::others_write, fs::perms::none);
    const std::string folder = p.wb.form.projfile, name = p.wb.form.projname;
    ASSERT_EQ(exitStatusAsAnotherAccount([&] { return ::access(p.lockPath.c_str(), R_OK) == 0 ? 0 : 1; }), 0)
        << "the other account cannot reach the temporary folder";

    // Open here: the other account's Delete finds it so.
    EXPECT_EQ(exitStatusAsAnotherAccount([&] { return static_cast<int>(ProjectClaim(folder, name).obstacle()); }),
              static_cast<int>(ProjectClaim::Obstacle::Open));

    // Running here: the other account's run is refused.
    {
        const RunLocks running(folder, name, "");
        ASSERT_FALSE(running.refusal("Pointdata1"));
        EXPECT_EQ(exitStatusAsAnotherAccount([&] { return RunLocks(folder, name, "").refusal("Pointdata1") ? 1 : 0; }),
                  1);
    }

    // Running there: a run and a Delete here are refused, and so is a second run there.
    AnotherQuor other([&](const std::function<void()>& holding) {
        if (!becomeAnotherAccount()) return;
        const RunLocks running(folder, name, "");
        if (running.refusal("Pointdata1") || running.unguardedText()) return;
        const int second = exitStatusAsAnotherAccount([&] { return RunLocks(folder, name, "").refusal("x") ? 1 : 0; });
        if (second == 1) holding();
    });
    ASSERT_TRUE(other.holding()) << "the other account could not run, or ran twice";
    EXPECT_EQ(RunLocks(folder, name, "").refusal("Pointdata1"), std::optional<std::string>(kProjectRunElsewhere));
    p.wb.form.projectHold.reset();
    EXPECT_EQ(ProjectClaim(folder, name).obstacle(), ProjectClaim::Obstacle::Running);
}

// Adding fields may write a shapefile's table anew and rename it over the
// old one: the dataset stays held all the same.
TEST(ProjectRunLock, AShapefileStaysHeldWhenItsTableIsReplacedByARename) {
    test::TempDir tmp;
    pg::Workspace::open(tmp.path())->createFeatureClass("sites", pg::GeometryType::Point, {},
                                                       pg::SpatialReference::fromEpsg(32755));
    const std::string table = tmp.file("sites.dbf");
    ASSERT_TRUE(fs::exists(table));
    const RunLocks running("", "", shapefileShpPath(tmp.path(), "sites"));
    ASSERT_FALSE(running.refusal("sites"));
    fs::copy_file(table, table + ".new");
    fs::rename(table + ".new", table);
    EXPECT_TRUE(RunLocks("", "", shapefileShpPath(tmp.path(), "sites")).refusal("sites"));
}

// A half-made table that a killed run left beside the shapefile goes with
// the next writer that holds the dataset, never under another's run.
TEST(ProjectRunLock, AHalfMadeTableIsClearedByTheNextWriterThatHoldsTheDataset) {
    test::TempDir tmp;
    auto points = pg::Workspace::open(tmp.path())->createFeatureClass("sites", pg::GeometryType::Point, {},
                                                                     pg::SpatialReference::fromEpsg(32755));
    const std::string halfMade = platform::FileReplacement::partialPath(tmp.file("sites.dbf"));
    std::ofstream(halfMade) << "half a table";
    {
        const RunLocks other("", "", shapefileShpPath(tmp.path(), "sites"));
        const RunLocks refused(nullptr, "", "", *points);
        EXPECT_TRUE(refused.refusal("sites"));
        EXPECT_TRUE(fs::exists(halfMade));
    }
    const RunLocks next(nullptr, "", "", *points);
    EXPECT_FALSE(next.refusal("sites"));
    EXPECT_FALSE(fs::exists(halfMade));
}
