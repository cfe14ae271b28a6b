#include "app/command_wiring.h"

#include <QDialog>

#include <utility>
#include <vector>

#include "app/main_form.h"
#include "wind/ui/wind_pt.h"

namespace quor::app {

namespace {

void showModeless(QDialog* dialog) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setModal(false);
    dialog->show();
}

}  // namespace

void connectCommands(MainForm& window) {
    MainForm* w = &window;
    const std::vector<std::pair<const char*, CommandTable::Handler>> table = {
        {"Wind_pt", [w] { showModeless(new wind::ui::WindPtForm(w->winddata(), w)); }},
        {"showprojection", [w] { w->showprojection(); }},
        {"About", [w] { w->showAbout(); }},
    };
    for (const auto& [name, handler] : table) window.commands().connect(name, handler);
}

}  // namespace quor::app
