#pragma once
// The main window's Run command: the run-start dialog over the map's
// layers, with the RWE driver in its slot; the REI and batch drivers are
// put into `drivers` by their subsystems. While a run goes on the window
// shows it busy and the run restores it at its end. Also the water-level
// window of single runs (Data > Water Level Adjustment) and the bottom-
// velocity window (Data > Orbital Velocity Mode).
#include <QElapsedTimer>
#include <QObject>

#include <memory>

#include "model/model_state.h"
#include "project/ptdatasel.h"
#include "rei/rei_run.h"
#include "wave/wave_main.h"

namespace quor::gis {
struct RayContext;
}

namespace quor::app {

class MainForm;

class RunCommand final : public QObject, public model::RunShell {
public:
    RunCommand(MainForm& window, model::WindSummary& winddata);
    ~RunCommand() override;

    // The Run button: "runon", the dialog, and the run it starts.
    void Run_Click();

    project::RunDrivers drivers;

    // RunShell
    void unloadAllForms() override;
    void repaintWithoutInput() override;
    void runStarted() override;
    void setTitle(const std::string& title) override;
    void setMinimised(bool minimised) override;
    void redraw() override;
    void showWindName(const std::string& name) override;
    void runEnded() override;
    void setStatus(const std::string& text) override;

    // While a run holds the lock (the main window greys its commands),
    // closing the main window or the progress window asks the run to stop.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // After an REI run: the run's point layer in graded colours by "Index".
    void showIndexInColour(const std::shared_ptr<platform::gis::FeatureClass>& fc);

    MainForm& w_;
    std::unique_ptr<gis::RayContext> rays_;
    std::unique_ptr<rei::ReiRunContext> rei_;
    QElapsedTimer repainted_;
};

}  // namespace quor::app
