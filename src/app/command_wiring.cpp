#include "app/command_wiring.h"

#include <QDialog>
#include <QLabel>

#include <utility>
#include <vector>

#include "app/main_form.h"
#include "app/progress_form.h"
#include "app/project_tree.h"
#include "app/project_window_adapter.h"
#include "project/project_commands.h"
#include "rei/rei_run.h"
#include "rei/ui/fm_property.h"
#include "wave/ui/bottom_velocity_dialog.h"
#include "wave/ui/tide_dialog.h"
#include "wind/loadwind.h"
#include "wind/ui/rwe_text_hooks.h"
#include "wind/ui/wind_pt.h"
#include "wind/ui/windanly.h"
#include "wind/ui/winddata_form.h"
#include "wind/ui/windprocess_form.h"

namespace quor::app {

namespace {

void showModeless(QDialog* dialog) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setModal(false);
    dialog->show();
}

// "Download/Create Wind Data...": the wind analysis dialog, modal. The
// column chooser's choice lasts for the program's life, as the chooser's
// values always have. The dialog steps aside while the chooser is open.
void showWindAnalysis(MainForm* w) {
    static const auto choice = std::make_shared<wind::WindTextChoice>();
    wind::WindanlyEnv env{w->state(), w->winddata(), w->project(), w->settingsStore(), w->messages()};
    env.mainWindowBusy = [w](bool busy) {
        if (busy) w->setCursor(Qt::WaitCursor);
        else w->unsetCursor();
    };
    wind::windanly* open = nullptr;
    wind::ui::connectRweTextHooks(env, choice, [&open] { return open; });
    wind::windanly dialog(std::move(env), w);
    open = &dialog;
    w->showModal(dialog);
}


// What the index-file tool shows on the main window while it works.
class WindowRunShell final : public model::RunShell {
public:
    explicit WindowRunShell(MainForm& w) : w_(w) {}
    void runStarted() override { w_.Label1->setText(QStringLiteral("Running model")); }
    void setTitle(const std::string& title) override { w_.setWindowTitle(QString::fromStdString(title)); }
    void setMinimised(bool on) override { w_.minimiseForRun(on); }
    void runEnded() override {
        w_.Label1->clear();
        w_.runEnded();
    }

private:
    MainForm& w_;
};

// Everything the connected commands work through, alive as long as the window.
struct Wiring {
    explicit Wiring(MainForm& w)
        : window(w),
          adapter(w),
          shell(w),
          scanProgress(w),
          projects(project::ProjectContext{w.state(), w.project(), w.holder(), w.winddata(), w.settingsStore(),
                                           w.messages(), w.map(), hooks(w), &scanProgress},
                   adapter) {}

    static project::ProjectHooks hooks(MainForm& w) {
        project::ProjectHooks h;
        h.loadwind = [&w](const std::string& path) {
            const bool ok = wind::loadwind(path, w.state(), w.winddata(), w.holder(), w.messages());
            // No wind to display after a failed load.
            if (!ok) w.setMenuItemEnabled("wind_pt_mnu", false);
            return ok;
        };
        h.reiWindProblem = wind::reiWindFileProblem;
        h.showWindEntryForm = [&w] {
            // The form asks for the file itself, with the wind files' filter.
            wind::WindEntryContext ctx{w.state(), w.project(), w.winddata(), w.holder(), w.messages(), {}};
            wind::ui::WindDataForm form(ctx, {}, &w);
            w.showModal(form);
        };
        return h;
    }

    void showWindprocess() {
        wind::ui::WindprocessContext ctx{window.project(), window.holder(), window.state().app_folder,
                                         window.messages(), window.progressForm(), adapter.datasetChooser(),
                                         &shell};
        ctx.runLock = &window.state().run_lock;
        showModeless(new wind::ui::WindprocessForm(ctx, &window));
    }

    MainForm& window;
    ProjectWindowAdapter adapter;
    WindowRunShell shell;
    PaintingProgress scanProgress;
    project::ProjectCommands projects;
};

}  // namespace

void connectCommands(MainForm& window) {
    auto wiring = std::make_shared<Wiring>(window);
    window.keepWithWindow(wiring);
    MainForm* w = &window;
    Wiring* c = wiring.get();
    project::ProjectCommands* p = &wiring->projects;
    auto nodeText = [w] { return w->projectTree().clicknodeText().toStdString(); };
    const std::vector<std::pair<const char*, CommandTable::Handler>> table = {
        {"NewPr_Click", [p] { p->NewPr_Click(); }},
        {"OpenPr_Click", [p] { p->OpenPr_Click(); }},
        {"RemPr_Click", [p] { p->RemPr_Click(); }},
        {"del_Click", [p] { p->del_Click(); }},
        {"Savepr_Click", [p] { p->Savepr_Click(); }},
        {"Savepra_Click", [p] { p->Savepra_Click(); }},
        {"Addbathy_Click", [p] { p->Addbathy_Click(); }},
        {"Addshore_Click", [p] { p->Addshore_Click(); }},
        {"addshape_Click", [p] { p->addshape_Click(); }},
        {"Addpointc_Click", [p] { p->Addpointc_Click(); }},
        {"Addwind_Click", [p] { p->Addwind_Click(); }},
        {"rem_ptdata", [p, nodeText] { p->rem_ptdata(nodeText()); }},
        {"feat_no", [p, nodeText] { p->feat_no(nodeText()); }},
        {"rem_shpdata", [p] { p->rem_shpdata(); }},
        {"Wind_pt", [w] { showModeless(new wind::ui::WindPtForm(w->winddata(), w)); }},
        {"Windprocess", [c] { c->showWindprocess(); }},
        {"fm_property",
         [w] {
             rei::ui::FmProperty dialog(
                 rei::ui::FmPropertyContext{w->settingsStore(), w->holder(), w->project(), w->messages(),
                                            w->state().app_folder,
                                            [w](int panel, const std::string& text) { w->setStatusPanel(panel, text); }},
                 w);
             w->showModal(dialog);
         }},
        {"Orbital_velocity_frm",
         [w] {
             wave::ui::BottomVelocityDialog dialog(
                 w->state(), w->messages(), [w](const std::string& text) { w->setStatusPanel(2, text); }, w);
             w->showModal(dialog);
         }},
        {"Tide_frm", [w] { showModeless(new wave::ui::TideDialog(w->state(), w->messages(), w)); }},
        {"showprojection", [w] { w->showprojection(); }},
        {"About", [w] { w->showAbout(); }},
        {"windanly", [w] { showWindAnalysis(w); }},
    };
    for (const auto& [name, handler] : table) window.commands().connect(name, handler);
}

}  // namespace quor::app
