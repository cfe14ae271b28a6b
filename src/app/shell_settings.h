#pragma once
// Settings of the shell itself, under "Settings" of the program's store,
// and what the shell asks of the desktop.
#include <optional>

#include "model/settings_loader.h"

namespace quor::app {

// The program's settings file, as the run and the dialogs name it.
using model::kSettingsApp;

// Addresses of the buoy data centre's historical-data page and of the
// program's own page; empty until the user or the installer sets them.
inline constexpr const char* kKobuWebsiteKey = "kobu_website";
inline constexpr const char* kQuorWebsiteKey = "quor_website";

// Whether the desktop names a program for PDF files; nothing when it
// cannot be asked (no xdg-mime).
std::optional<bool> pdfViewerInstalled();

}  // namespace quor::app
