#pragma once
// Batch mode on/off, and the set-up shown at the start of every batch:
// the folder of processed wind files and the optional water-level file.
#include <string>

#include "model/model_state.h"
#include "platform/feedback.h"
#include "wave/batch_run.h"

namespace quor::wave {

inline constexpr const char* kBatchModeTitle = "Batch Mode";
inline constexpr const char* kBatchProcessTitle = "Batch Processing";
inline constexpr const char* kMsgBatchFolder = "Please select the folder with processed wind files.";
inline constexpr const char* kMsgBatchTide = "Please select the file with tidal corrected depth data.";

// The batch-mode switch: the box shows and sets `batch_mode`.
bool batchModeLoad(const model::ModelState& state);
void batchModeOk(model::ModelState& state, bool ticked);

class BatchProcess {
public:
    BatchProcess(model::ModelState& state, platform::Messages& messages) : s_(state), messages_(messages) {}

    std::string folder;
    bool useTide = false;
    std::string tide_file;

    // The data folder's batch wind folder, no water-level file.
    void Form_Load();
    // Number of files of the folder (every file counts, not only wind files).
    int fileCount() const;
    std::string countLabel() const;
    void Check1_Click(bool ticked);
    // OK: batch mode on; false keeps the window open with a message.
    bool Command1_Click();
    // Cancel: batch mode off and the batch given up.
    void Command2_Click();
    BatchSetup setup() const { return {folder, useTide ? tide_file : std::string()}; }

private:
    model::ModelState& s_;
    platform::Messages& messages_;
};

}  // namespace quor::wave
