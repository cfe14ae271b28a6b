#pragma once
namespace quor::app {

class MainForm;

// Connects the main window's commands to the subsystems that carry them out.
void connectCommands(MainForm& window);

}  // namespace quor::app
