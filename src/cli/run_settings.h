#pragma once
// The settings of a run without the window: what the settings file holds
// (read as start-up reads it, never written back), then the options over
// it, each refused as its dialog refuses it, in the dialog's words and
// with the option's name.
#include "cli/run_options.h"
#include "model/model_state.h"
#include "platform/feedback.h"

namespace quor::cli {

// Fills the model state, the project values and the settings holder.
// What the window would tell on the way (stored values replaced by their
// defaults, a default taken for an empty entry) goes to `messages`.
// BadInput for a value out of its range, a settings file that cannot be
// read, a thread count that is no whole number.
void applyRunSettings(const RunOptions& options, model::ApplicationState& app, platform::Messages& messages);

}  // namespace quor::cli
