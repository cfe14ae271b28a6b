#include "wind/ui/rwe_text_hooks.h"

#include <QFileDialog>
#include <QLabel>

#include "wind/ui/wind_text_dialog.h"
#include "wind/wind_text_call.h"

namespace quor::wind::ui {

std::optional<std::string> QtSavePathChooser::chooseSavePath(const std::string& title, const std::string& filter,
                                                             const std::string& startFolder) {
    const auto bar = filter.find('|');
    const QString caption = QString::fromStdString(filter.substr(0, bar));
    const QString path =
        QFileDialog::getSaveFileName(parent_, QString::fromStdString(title), QString::fromStdString(startFolder),
                                     caption, nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

void connectRweTextHooks(WindanlyEnv& env, std::shared_ptr<WindTextChoice> choice,
                         std::function<windanly*()> dialog) {
    if (!env.chooser) env.chooser = std::make_shared<QtSavePathChooser>();
    model::ModelState& state = env.state;
    model::WindSummary& holder = env.holder;
    const model::MainFormState& form = env.form;
    platform::Messages& messages = env.messages;
    std::shared_ptr<SavePathChooser> chooser = env.chooser;

    env.rweAnalysis = [&state, &holder, &form, &messages, chooser, dialog](const WindTextCall& call) {
        WindAnalysisContext ctx{{state, holder, form, messages, chooser.get()}};
        if (windanly* d = dialog ? dialog() : nullptr)
            ctx.status = [d](const std::string& text) {
                d->Label4->setText(QString::fromStdString(text));
                d->Label4->repaint();
            };
        wind_wv(ctx, call);
    };
    env.localFileCall = [choice]() -> std::optional<WindTextCall> {
        if (choice->wind_textfile.empty()) return std::nullopt;
        return windTextCall(*choice);
    };
    env.showColumnChooser = [&state, &messages, choice, dialog] {
        windanly* d = dialog ? dialog() : nullptr;
        // The analysis dialog hides while the chooser is open and comes back
        // in the layout the chooser's answer asks for.
        if (d) d->hide();
        wind_text chooserDialog(state, *choice, messages, d);
        const bool local = chooserDialog.exec() == QDialog::Accepted;
        if (d) {
            d->setLocalFileLayout(local);
            d->show();
        }
    };
}

}  // namespace quor::wind::ui
