// The welcome at the first activation, and the program's end: the Exit
// question, the save question when the main window closes, and closing
// every other window.
#include <QApplication>
#include <QCloseEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "app/main_form.h"
#include "app/welcome_dialog.h"

namespace quor::app {

bool MainForm::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && !state_.welcome_done && !welcomeShowing_) {
        // Shown after the activation has been handled, not inside it.
        QTimer::singleShot(0, this, [this] { Form_Activate(); });
    }
    return QMainWindow::event(event);
}

void MainForm::Form_Activate() {
    if (state_.welcome_done || welcomeShowing_) return;
    welcomeShowing_ = true;
    try {
        mainDialog dialog(state_, holder_, form_, *messages_,
                          {[this] { commands_.run("NewPr_Click", *messages_); },
                           [this] { commands_.run("OpenPr_Click", *messages_); }},
                          this);
        showModal(dialog);
    } catch (...) {
    }
    welcomeShowing_ = false;
}

void MainForm::Exit_Click() {
    try {
        if (!messages_->question("Are you sure you want to exit?")) return;
        close();
    } catch (...) {
    }
}

void MainForm::closeEvent(QCloseEvent* event) {
    if (state_.run_lock.active()) {
        // Closing during a run asks the run to stop, as Cancel does; the
        // window stays until the run has ended and cleaned up.
        state_.cancel_flag = true;
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void MainForm::Form_Unload() {
    if (projectOpen() && messages_->question("Do you want to save the project?")) {
        try {
            commands_.run("Savepr_Click", *messages_);
        } catch (...) {
            // The save reports its own failure; closing goes on.
        }
    }
    UnloadAllForms({});
}

void MainForm::UnloadAllForms(const std::string& /*FormToIgnore*/) {
    // The window kept is always the main window, whatever the argument.
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets()) windows.append(w);
    for (const QPointer<QWidget>& w : windows) {
        if (!w || w == this || w->objectName() == QLatin1String("MainForm")) continue;
        if (w->isVisible()) w->close();
    }
}

}  // namespace quor::app
