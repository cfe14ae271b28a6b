#include "app/run_command.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QLabel>

#include "app/main_form.h"
#include "app/progress_form.h"
#include "app/startup.h"
#include "gis/ray_site.h"
#include "project/ui/ptdatasel_dialog.h"
#include "wave/rwe_run_start.h"
#include "wave/ui/bottom_velocity_dialog.h"
#include "wave/ui/tide_dialog.h"

namespace quor::app {

RunCommand::RunCommand(MainForm& window, model::WindSummary& winddata) : w_(window) {
    rays_ = std::make_unique<gis::RayContext>(gis::RayContext{w_.state(), w_.holder(), w_.project(), winddata,
                                                              w_.MapControl2->map(), w_.messages(), w_.progressForm()});
    wave::installWaveMain(drivers, *rays_, this);
    if (QAction* run = w_.toolbarButton(kProjectToolbar, "run"))
        QObject::connect(run, &QAction::triggered, &w_, [this] { Run_Click(); });
    // Data > Water Level Adjustment: the level of single runs.
    if (QAction* tide = w_.menuItem("Tide"))
        QObject::connect(tide, &QAction::triggered, &w_, [this] {
            wave::ui::TideDialog dialog(w_.state(), w_.messages(), &w_);
            dialog.exec();
        });
    // Data > Orbital Velocity Mode: bottom velocity and sediment motion.
    if (QAction* orbital = w_.menuItem("orbital"))
        QObject::connect(orbital, &QAction::triggered, &w_, [this] {
            wave::ui::BottomVelocityDialog dialog(
                w_.state(), w_.messages(), [this](const std::string& t) { w_.setStatusPanel(2, t); }, &w_);
            dialog.exec();
        });
}

RunCommand::~RunCommand() = default;

void RunCommand::Run_Click() {
    if (w_.state().run_lock.active()) return;
    w_.setToolbarButtonImage(kProjectToolbar, "run", "runon");
    project::ptdatasel core(w_.state(), w_.project(), w_.holder(), w_.MapControl2->map(), w_.messages(), drivers);
    core.runIdle = [this] { w_.setToolbarButtonImage(kProjectToolbar, "run", "runoff"); };
    project::ui::PtdataselDialog dialog(core, &w_);
    dialog.showModal();
}

void RunCommand::runStarted() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (w_.Label1) w_.Label1->setText("Running model");
    if (w_.Check1 && w_.Check1->isChecked()) w_.Check1->setChecked(false);
    redraw();
}

void RunCommand::setTitle(const std::string& title) { w_.setWindowTitle(QString::fromStdString(title)); }

void RunCommand::setMinimised(bool minimised) {
    if (minimised)
        w_.showMinimized();
    else
        w_.showNormal();
}

void RunCommand::redraw() {
    w_.MapControl2->map().refresh();
    w_.update();
}

void RunCommand::runEnded() {
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    if (w_.Label1) w_.Label1->clear();
    w_.setToolbarButtonImage(kProjectToolbar, "run", "runoff");
    for (const char* key : {"bathy", "shore", "wind", "addpoint", "drawpoly", "run", "printt", "delete"})
        if (QAction* a = w_.toolbarButton(kProjectToolbar, key); a && a->isCheckable()) a->setChecked(false);
}

}  // namespace quor::app
