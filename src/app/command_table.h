#pragma once
// The commands of the other subsystems that the main window's menus,
// toolbar buttons, tree pop-ups and welcome dialog hand over to, by their
// entry-point names ("NewPr_Click", "ptdatasel", "wv_property" ...).
// A command that has no handler yet tells the user so and changes nothing;
// the menu items and buttons that lead only to it stay disabled.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/feedback.h"

namespace quor::app {

class CommandTable {
public:
    using Handler = std::function<void()>;

    struct Entry {
        const char* name;   // entry-point name
        const char* title;  // what the user calls it
    };
    // Every command the shell hands over to, in menu order.
    static const std::vector<Entry>& entries();

    void connect(const std::string& name, Handler handler);
    bool available(const std::string& name) const;
    // Runs the command. Without a handler: "<title> is not available yet."
    void run(const std::string& name, platform::Messages& messages) const;

    // The command behind a menu item or a project-toolbar button, or the
    // empty text for the window's own commands.
    static std::string forMenuItem(const std::string& item);
    static std::string forProjectButton(const std::string& key);

private:
    std::map<std::string, Handler> handlers_;
};

std::string notAvailableText(const std::string& name);

}  // namespace quor::app
