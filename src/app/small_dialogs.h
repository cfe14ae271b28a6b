#pragma once
// The shell's small windows: Projection Properties, the About box, the
// start-up disclaimer and the MDI frame. The running program never opens
// the last two (nothing opens the frame, and only the frame's load opens
// the disclaimer); they are kept as finished windows.
#include <QDialog>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "platform/feedback.h"
#include "platform/gis/spatial_reference.h"

class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;
class QToolBar;

namespace quor::app {

// Left = xscreen / 2 - width / 2, top = yscreen / 2 - height / 2.
void centreOnReference(QWidget& w, const model::MainFormState& form);

// The lines Projection Properties lists for a spatial reference: the type
// line ("Projected coordinate system" or "Geographic coordinate system",
// none for any other kind), then its name, remarks, abbreviation and alias.
std::vector<std::string> projectionLines(const platform::gis::SpatialReference& sr);

class proj_prop final : public QDialog {
public:
    proj_prop(const model::MainFormState& form, QWidget* parent);
    void Form_Load();
    void Command1_Click();
    QListWidget* List1;
    QPushButton* Command1;

private:
    const model::MainFormState& form_;
};

// Fills `dialog` (created when null; it clears itself when the dialog is unloaded) from the map's spatial reference and
// shows it without making it modal; lines are added to what it holds.
// Without a spatial reference: the message and nothing else.
void showprojection(const platform::gis::SpatialReference& sr, platform::Messages& messages,
                    const model::MainFormState& form, QWidget* parent, QPointer<proj_prop>& dialog);

class About final : public QDialog {
public:
    About(const model::MainFormState& form, QWidget* parent);
    void Form_Load();
    void Command1_Click();
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Image1;
    QLabel* Image2;
    QPushButton* Command1;

private:
    const model::MainFormState& form_;
};

// The start-up disclaimer.
class Form2 final : public QDialog {
public:
    // `showMain` shows the main window after the terms are accepted.
    Form2(std::function<void()> showMain, QWidget* parent = nullptr);
    void Form_Load();
    void Command1_Click();
    // The logo bitmap in the program's own folder.
    static QString logoPath();

    QLabel* Picture1;
    QGroupBox* Frame1;
    QLabel* Label7;
    QLabel* Label6;
    QLabel* Label4;
    QLabel* Label5;
    QRadioButton* Option1[2];
    QPushButton* Command1;
    QLabel* Label3;
    QLabel* Label2;
    QLabel* Label1[4];
    QFrame* Line1;
    QFrame* Line2;

private:
    std::function<void()> showMain_;
};

// The MDI frame window.
class MDIForm1 final : public QMainWindow {
public:
    // `showProgress` shows the shared progress window without making it modal.
    explicit MDIForm1(std::function<void()> showProgress, QWidget* parent = nullptr);
    void MDIForm_Load();
    void Newpr_Click();
    void Openpr_Click();
    Form2* disclaimer() const { return form2_; }
    QToolBar* Toolbar3;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::function<void()> showProgress_;
    Form2* form2_ = nullptr;
    QMenu* popup_ = nullptr;
};

}  // namespace quor::app
