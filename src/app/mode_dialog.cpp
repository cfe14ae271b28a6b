#include "app/mode_dialog.h"
#include "platform/ui/dialog_buttons.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/command_enabling.h"
#include "app/main_form.h"
#include "platform/numbers.h"

namespace quor::app {

namespace {
constexpr int kPanelFetch = 2;
}

QuorMode_fr::QuorMode_fr(MainForm& main) : QDialog(&main), main_(main) {
    setObjectName(QStringLiteral("QuorMode_fr"));
    setWindowTitle(QStringLiteral("Quor Mode"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);

    Frame1 = new QGroupBox(QStringLiteral("Select Quor Mode"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Option1[0] = new QRadioButton(QStringLiteral("Representative Wave Energy Index (RWE) Mode"), Frame1);
    Option1[1] = new QRadioButton(QStringLiteral("Relative Exposure Index (REI) Mode"), Frame1);
    Option1[0]->setObjectName(QStringLiteral("Option1_0"));
    Option1[1]->setObjectName(QStringLiteral("Option1_1"));
    Option1[0]->setChecked(true);
    auto* options = new QVBoxLayout(Frame1);
    options->addWidget(Option1[0]);
    options->addWidget(Option1[1]);
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addWidget(Command1, 0, Qt::AlignRight);
    platform::ui::setOkButton(*this, Command1);
    QObject::connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    Form_Load();
}

void QuorMode_fr::Form_Load() {
    model::ModelState& state = main_.state();
    const QString mode = main_.statusPanel(kPanelMode);
    if (mode == QLatin1String("REI Mode")) {
        Option1[1]->setChecked(true);
        state.model_mode = model::REI_MODE;
    } else if (mode == QLatin1String("RWE Mode")) {
        Option1[0]->setChecked(true);
        state.model_mode = model::RWE_MODE;
    }
    adjustSize();
    const model::MainFormState& form = main_.project();
    if (form.xscreen > 0 && form.yscreen > 0)
        move(form.xscreen / 2 - width() / 2, form.yscreen / 2 - height() / 2);
}

void QuorMode_fr::Command1_Click() {
    // The dialog stays open beside the window, so a project may have been
    // opened since: switching now would save that project in the other
    // mode's format under its old extension.
    if (main_.projectOpen()) {
        main_.messages().message(kModeChangeRefused, platform::MessageIcon::Information);
        close();
        return;
    }
    model::ModelState& state = main_.state();
    if (Option1[0]->isChecked()) {
        state.model_mode = model::RWE_MODE;
        main_.setStatusPanel(kPanelMode, "RWE Mode");
        main_.setStatusPanel(kPanelAlgorithm, "");
        main_.setStatusPanel(kPanelFetch, "");
        applyModeCommands(main_, state.model_mode);
    } else if (Option1[1]->isChecked()) {
        state.model_mode = model::REI_MODE;
        main_.setStatusPanel(kPanelMode, "REI Mode");
        applyModeCommands(main_, state.model_mode);
        main_.setStatusPanel(kPanelAlgorithm, main_.holder().indexcheck == 1 ? "IIndex True" : "IIndex False");
        const model::MainFormState& form = main_.project();
        main_.setStatusPanel(kPanelFetch, "F= " + platform::formatNumber(form.Fetch) + " B I= " +
                                              platform::formatNumber(form.dist_bathy));
    }
    close();
}

}  // namespace quor::app
