#include "wave/batch_setup.h"

#include <filesystem>

namespace quor::wave {

bool batchModeLoad(const model::ModelState& state) { return state.batch_mode == 1; }

void batchModeOk(model::ModelState& state, bool ticked) { state.batch_mode = ticked ? 1 : 0; }

void BatchProcess::Form_Load() {
    folder = (std::filesystem::path(s_.app_folder) / "Project" / "Batch_Process_Wind_Data").string();
    useTide = false;
    tide_file.clear();
}

int BatchProcess::fileCount() const {
    std::error_code ec;
    if (folder.empty() || !std::filesystem::is_directory(folder, ec)) return 0;
    int n = 0;
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec))
        if (it->is_regular_file(ec)) ++n;
    return n;
}

std::string BatchProcess::countLabel() const { return std::to_string(fileCount()) + " wind files in the folder"; }

void BatchProcess::Check1_Click(bool ticked) {
    useTide = ticked;
    if (!ticked) tide_file.clear();
}

bool BatchProcess::Command1_Click() {
    s_.batch_cancel = 0;
    s_.batch_mode = 1;
    if (folder.empty() || fileCount() < 1) {
        messages_.message(kMsgBatchFolder);
        return false;
    }
    if (useTide && tide_file.empty()) {
        messages_.message(kMsgBatchTide);
        return false;
    }
    return true;
}

void BatchProcess::Command2_Click() {
    s_.batch_cancel = 1;
    s_.batch_mode = 0;
}

}  // namespace quor::wave
