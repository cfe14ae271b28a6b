#include "wave/debug_files.h"

#include "platform/textfile.h"

#include <filesystem>
#include <system_error>
#include <vector>


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

bool DebugFileReporter::writeArray(const std::string& path, const std::string& title,
                                   std::span<const double> values) noexcept {
    if (window_) {
        try {
            record_->later([w = window_, path, title, v = std::vector<double>(values.begin(), values.end())] {
                w->writeArray(path, title, v);
            });
            return true;
        } catch (...) {
            return false;  // no memory to keep it: a debug file is a by-product
        }
    }
    return attempt(path, [&] { writeOutputArrayFile(path, title, values); });
}

bool DebugFileReporter::rewriteLines(const std::string& path, std::vector<std::string> lines) noexcept {
    if (window_) {
        try {
            record_->later([w = window_, path, lines = std::move(lines)]() mutable { w->rewriteLines(path, std::move(lines)); });
            return true;
        } catch (...) {
            return false;
        }
    }
    return attempt(path, [&] {
        ensureParentFolder(path);
        platform::rewriteTextLines(path, lines);
    });
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
