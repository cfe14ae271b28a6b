#pragma once
// Settings of the shell itself, under "Settings" of the program's store.
namespace quor::app {

// Addresses of the buoy data centre's historical-data page and of the
// program's own page; empty until the user or the installer sets them.
inline constexpr const char* kKobuWebsiteKey = "kobu_website";
inline constexpr const char* kQuorWebsiteKey = "quor_website";

}  // namespace quor::app
