#pragma once
// The progress window that long operations share: two bars with their
// captions and a Cancel button that asks a running RWE run to stop.
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include "model/model_state.h"
#include "platform/feedback.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace quor::app {

class Form1 final : public QDialog, public platform::Progress {
public:
    // `mainWindow` is the window the dialog sits above.
    Form1(model::ModelState& state, const model::MainFormState& form, QWidget* mainWindow);

    // Places and sizes the window for the current batch mode, then shows it.
    void show() override;
    // Hides it with empty bars and captions, as unloading leaves it.
    void hide() override;
    void setMaximum(int bar, int maximum) override;
    void setValue(int bar, int value) override;
    int value(int bar) const override;
    void setLabel(int label, const std::string& text) override;
    std::string label(int label) const override;
    void yield() override;

    // What showing does before the window appears: across the screen's
    // centre, just above the main window's bottom edge, tall enough for
    // the second bar only in batch mode.
    void placeWindow();

    // The Cancel button's work.
    void Command1_Click();

    QProgressBar* ProgressBar1;
    QProgressBar* ProgressBar2;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QPushButton* Command1;

protected:
    // During a run its close box and Escape act as Cancel.
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    int px(float twips) const;
    int py(float twips) const;
    QProgressBar* bar(int n) const;
    QLabel* caption(int n) const;

    model::ModelState& state_;
    const model::MainFormState& form_;
    QWidget* mainWindow_;
    // Paints the bars' latest values; a run moves them many times a second.
    QTimer paint_;
    QElapsedTimer lastYield_;
};

}  // namespace quor::app
