#pragma once
// Which commands may be used in which state of the program. Each event
// switches one fixed set of toolbar buttons and menu items; the sets are
// data so that the whole table can be checked at once.
#include <cstdint>
#include <string>
#include <vector>

#include "app/startup.h"

namespace quor::app {

struct CommandSet {
    std::vector<std::string> projectButtons;
    std::vector<std::string> mapButtons;
    std::vector<std::string> menuItems;
};

// What a built project tree enables.
const CommandSet& projectOpenCommands();
// What clearing the current project disables.
const CommandSet& noProjectCommands();
// What point entry disables at its start and gives back at its end.
const CommandSet& pointEntryCommands();

// Every step is tried on its own: a button or item that cannot be reached
// is skipped and the next one is switched.
void applyCommandSet(StartupWindow& window, const CommandSet& set, bool enabled);

void disablecontrols(StartupWindow& window);
void setcontrols(StartupWindow& window, bool enabled);
void enableProjectCommands(StartupWindow& window);
// Batch mode belongs to RWE, the index-file tool to REI.
void applyModeCommands(StartupWindow& window, uint8_t model_mode);

}  // namespace quor::app
