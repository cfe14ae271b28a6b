#include "app/run_command.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QCursor>
#include <QEvent>
#include <QMenuBar>
#include <QToolBar>
#include <QLabel>


#include "app/class_breaks_renderer.h"
#include "app/main_form.h"
#include "app/progress_form.h"
#include "app/project_tree.h"
#include "app/startup.h"
#include "gis/ray_site.h"
#include "project/ui/ptdatasel_dialog.h"
#include "wave/rwe_run_start.h"
#include "wind/loadwind.h"
#include "wave/ui/bottom_velocity_dialog.h"
#include "wave/batch_run.h"
#include "wave/ui/batch_dialogs.h"
#include "wave/ui/rwe_settings_dialog.h"
#include "wave/ui/tide_dialog.h"

namespace quor::app {

RunCommand::RunCommand(MainForm& window, model::WindSummary& winddata) : w_(window) {
    rays_ = std::make_unique<gis::RayContext>(gis::RayContext{w_.state(), w_.holder(), w_.project(), winddata,
                                                              w_.MapControl2->map(), w_.messages(), w_.progressForm()});
    wave::installWaveMain(drivers, *rays_, this);
    rei_ = std::make_unique<rei::ReiRunContext>(rei::ReiRunContext{w_.state(), w_.holder(), w_.project(), winddata,
                                                                   w_.MapControl2->map(), w_.messages(),
                                                                   w_.progressForm()});
    rei_->shell = this;
    // The square around each site, as the pieces attached to it are chosen.
    auto drawSquare = [this](const std::vector<platform::gis::Point>& square) {
        w_.MapControl2->drawOutline(square);
    };
    rays_->drawSiteSquare = drawSquare;
    rei_->drawSiteSquare = drawSquare;
    rei_->reloadWind = [this, &winddata](platform::Messages& m) {
        return wind::reloadProjectWind(w_.state(), winddata, w_.holder(), m);
    };
    drivers.runmodel = [this](const std::shared_ptr<platform::gis::FeatureClass>& fc, int16_t counterstart,
                              const project::PointDatasetChoice&) {
        const rei::ReiRunOutcome outcome = rei::runmodel(*rei_, fc, counterstart);
        if (outcome.end == rei::ReiRunEnd::Completed) showIndexInColour(fc);
    };
    // The shell hands its Run button and menu item to this command.
    w_.commands().connect("ptdatasel", [this] { Run_Click(); });
    w_.installEventFilter(this);
    w_.progressForm().installEventFilter(this);
    // Data > Water Level Adjustment: the level of single runs.
    w_.commands().connect("Tide_frm", [this] {
            wave::ui::TideDialog dialog(w_.state(), w_.messages(), &w_);
            dialog.exec();
        });
    // Data > Settings in RWE mode: the RWE model's settings.
    w_.commands().connect("wv_property", [this] {
            wave::ui::RweSettingsDialog dialog(
                w_.state(), w_.project(), w_.holder(), w_.settingsStore(), w_.messages(),
                [this](int panel, const std::string& t) { w_.setStatusPanel(panel, t); }, &w_);
            dialog.exec();
        });
    // Data > Batch Processing Mode: the switch the next Run reads.
    w_.commands().connect("Batch_Processing_mode", [this] {
            wave::ui::BatchModeDialog dialog(w_.state(), &w_);
            dialog.exec();
        });
    // A batch run asks for its wind folder and water-level file first.
    drivers.batch_processing = [this](const std::shared_ptr<platform::gis::FeatureClass>& fc, int16_t counterstart,
                                      const project::PointDatasetChoice& choice) {
        // The water-level file is looked for in the project folder.
        wave::ui::BatchProcessDialog setup(w_.state(), w_.messages(), w_.project().projfile, &w_);
        if (setup.exec() != QDialog::Accepted) return;
        wave::WaveRunContext run{*rays_, this, choice.shpdir, choice.shpname1};
        wave::batch_processing_cls(run).batch_processing(fc, counterstart, setup.core().setup());
    };
    // Data > Orbital Velocity Mode: bottom velocity and sediment motion.
    w_.commands().connect("Orbital_velocity_frm", [this] {
            wave::ui::BottomVelocityDialog dialog(
                w_.state(), w_.messages(), [this](const std::string& t) { w_.setStatusPanel(2, t); }, &w_);
            dialog.exec();
        });
}

RunCommand::~RunCommand() = default;

bool RunCommand::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && w_.state().run_lock.active()) {
        // Closing acts as the progress window's Cancel: the run asks and stops.
        w_.state().cancel_flag = true;
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void RunCommand::showIndexInColour(const std::shared_ptr<platform::gis::FeatureClass>& fc) {
    // The run's dataset as the map shows it, opened there on its own.
    for (const auto& layer : w_.MapControl2->map().layers()) {
        if (layer->kind() != platform::gis::LayerKind::Feature || !layer->featureClass()) continue;
        if (!platform::gis::sameDataset(*layer->featureClass(), *fc)) continue;
        try {
            renderer_cls().render(*w_.MapControl2, layer);
        } catch (const std::exception&) {
            // The results are written; only their colours are missing.
        }
    }
}

void RunCommand::Run_Click() {
    if (w_.state().run_lock.active()) return;
    w_.setToolbarButtonImage(kProjectToolbar, "run", "runon");
    project::ptdatasel core(w_.state(), w_.project(), w_.holder(), w_.MapControl2->map(), w_.messages(), drivers);
    core.runIdle = [this] { w_.setToolbarButtonImage(kProjectToolbar, "run", "runoff"); };
    project::ui::PtdataselDialog dialog(core, &w_);
    dialog.showModal();
    // However the chooser closed (its close box, a cancelled batch set-up,
    // a run that has ended), no run is going on any more.
    w_.setToolbarButtonImage(kProjectToolbar, "run", "runoff");
}

void RunCommand::unloadAllForms() { w_.UnloadAllForms({}); }

void RunCommand::repaintWithoutInput() {
    // A few times a second is enough for the eye; a site takes milliseconds.
    constexpr qint64 kRepaintEveryMs = 40;
    if (repainted_.isValid() && repainted_.elapsed() < kRepaintEveryMs) return;
    repainted_.start();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void RunCommand::runStarted() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (w_.Label1) w_.Label1->setText("Running model");
    // Unticked as a click unticks it: the bathymetry goes back under the shoreline.
    if (w_.Check1 && w_.Check1->isChecked()) {
        w_.Check1->setChecked(false);
        w_.Check1_Click();
    }
    redraw();
}

void RunCommand::setTitle(const std::string& title) { w_.setWindowTitle(QString::fromStdString(title)); }

void RunCommand::setMinimised(bool minimised) { w_.minimiseForRun(minimised); }

void RunCommand::showWindName(const std::string& name) {
    ProjectTree& tree = w_.projectTree();
    if (tree.nodeCount() >= 4) tree.setNode(4, QString::fromStdString(name), tree.picture(4));
}

void RunCommand::redraw() {
    // The rest of the window repaints what changed on its own; painting it
    // all again for every site of a run cost more than the site itself.
    w_.MapControl2->map().refresh();
}

void RunCommand::setStatus(const std::string& text) {
    if (w_.Label1) w_.Label1->setText(QString::fromStdString(text));
}

void RunCommand::runEnded() {
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    if (w_.Label1) w_.Label1->clear();
    w_.setToolbarButtonImage(kProjectToolbar, "run", "runoff");
    for (const char* key : {"bathy", "shore", "wind", "addpoint", "drawpoly", "run", "printt", "delete"})
        if (QAction* a = w_.toolbarButton(kProjectToolbar, key); a && a->isCheckable()) a->setChecked(false);
}

}  // namespace quor::app
