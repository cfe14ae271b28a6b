#include "app/command_wiring.h"

#include "app/main_form.h"

namespace quor::app {

void connectCommands(MainForm& window) {
    CommandTable& table = window.commands();
    (void)table;
}

}  // namespace quor::app
