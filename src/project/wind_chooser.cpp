#include <filesystem>

#include "project/project_commands.h"
#include "project/project_file.h"

namespace quor::project {

using platform::MessageIcon;

std::string windFileFilter(uint8_t mode) {
    // Hand-entered REI wind data is saved as ".txt"; both kinds are offered.
    return mode == model::REI_MODE ? "REI Wind files (*.Wind_REI;*.txt)|*.Wind_REI;*.txt"
                                   : "RWE Wind files (*.Wind_RWE)| *.Wind_RWE";
}

std::optional<std::string> selwindfile(model::ModelState& st, platform::Messages& messages, FileChooser& chooser) {
    const auto chosen = chooser.chooseFile({FileDialogRequest::Kind::Open, windFileFilter(st.model_mode),
                                            "Select Wind data file", st.app_folder + "/Sample Data"});
    if (!chosen || chosen->empty()) return std::nullopt;
    if (holdsLineBreak(*chosen)) {
        messages.message(kLineBreakInPath, MessageIcon::Exclamation);
        return std::nullopt;
    }
    const std::string suffix = ".Wind_RWE";
    if (st.model_mode == model::RWE_MODE &&
        (chosen->size() < suffix.size() || chosen->compare(chosen->size() - suffix.size(), suffix.size(), suffix) != 0)) {
        messages.message("Please select an RWE wind file (*.Wind_RWE).", MessageIcon::Exclamation);
        return std::nullopt;
    }
    st.wind_path = *chosen;
    st.wind_name = std::filesystem::path(*chosen).filename().string();
    return chosen;
}

}  // namespace quor::project
