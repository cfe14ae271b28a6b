#include "wave/debug_files.h"

#include <filesystem>
#include <system_error>

#include "platform/numbers.h"
#include "platform/textfile.h"

namespace quor::wave {

namespace fs = std::filesystem;

std::string debugOutputFolder(const std::string& app_folder) { return app_folder + "/Project/output_data"; }

bool debugOutputEnabled(const model::ModelState& state) {
    if (state.debug_mode != 1 || state.app_folder.empty()) return false;
    std::error_code ec;
    const auto st = fs::status(state.app_folder, ec);
    if (ec || !fs::exists(st)) return true;  // the write itself will tell
    const auto p = st.permissions();
    return (p & fs::perms::owner_write) != fs::perms::none;
}

std::string debugRow(int index, double value) {
    double r = platform::roundHalfEven(value, 2);
    if (r == 0) r = 0;  // no "-0" rows
    return " " + std::to_string(index) + "   " + platform::formatNumber(r);
}

void ensureParentFolder(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    if (parent.empty()) return;
    std::error_code ec;
    if (fs::is_directory(parent, ec)) return;
    fs::create_directories(parent, ec);
    if (ec || !fs::is_directory(parent)) throw platform::FileError("Cannot create folder " + parent.string());
}

void writeOutputArrayFile(const std::string& path, const std::string& title, std::span<const double> values) {
    ensureParentFolder(path);
    platform::TextWriter w(path);
    w.writeLine(title);
    w.writeLine("");
    for (size_t k = 0; k < values.size(); ++k) w.writeLine(debugRow(static_cast<int>(k), values[k]));
    w.close();
}

bool DebugFileReporter::writeArray(const std::string& path, const std::string& title,
                                   std::span<const double> values) noexcept {
    return attempt(path, [&] { writeOutputArrayFile(path, title, values); });
}

void DebugFileReporter::failed(const std::string& path, const std::string& reason) noexcept {
    if (failures_++ > 0) return;
    try {
        messages_.message("Could not write the debug file " + path + " (" + reason +
                              "). The model results are not affected; further debug files of this run "
                              "that cannot be written are skipped without notice.",
                          platform::MessageIcon::Exclamation);
    } catch (...) {
        // A failing message sink must not fail the run either.
    }
}

}  // namespace quor::wave
