#include "app/command_wiring.h"

#include <QDialog>

#include <utility>
#include <vector>

#include "app/main_form.h"
#include "wind/ui/rwe_text_hooks.h"
#include "wind/ui/wind_pt.h"
#include "wind/ui/windanly.h"

namespace quor::app {

namespace {

void showModeless(QDialog* dialog) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setModal(false);
    dialog->show();
}

// "Download/Create Wind Data...": the wind analysis dialog, modal. The
// column chooser's choice lasts for the program's life, as the chooser's
// values always have.
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
    dialog.exec();
}

}  // namespace

void connectCommands(MainForm& window) {
    MainForm* w = &window;
    const std::vector<std::pair<const char*, CommandTable::Handler>> table = {
        {"Wind_pt", [w] { showModeless(new wind::ui::WindPtForm(w->winddata(), w)); }},
        {"showprojection", [w] { w->showprojection(); }},
        {"About", [w] { w->showAbout(); }},
        {"windanly", [w] { showWindAnalysis(w); }},
    };
    for (const auto& [name, handler] : table) window.commands().connect(name, handler);
}

}  // namespace quor::app
