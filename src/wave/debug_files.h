#pragma once
// The model's debug output: text files of its intermediate arrays under the
// data folder, written only in debugging mode. A debug file is a by-product:
// failing to write one never changes a result or fails a site; the user
// hears about it once per run.
#include <span>
#include <string>
#include <vector>

#include "model/bounded_array.h"
#include "model/model_state.h"
#include "platform/array_file.h"
#include "platform/deferred_feedback.h"
#include "platform/feedback.h"

namespace quor::wave {

// The array files and their titles are the platform's; the debug output
// writes them under the data folder.
using platform::ensureParentFolder;
using platform::kDepthFileTitle;
using platform::kFetchFileTitle;
using platform::kWaveHeightFileTitle;
using platform::kWindFileTitle;
using platform::writeOutputArrayFile;

// The folder the debug files go to: app_folder/Project/output_data.
std::string debugOutputFolder(const std::string& app_folder);

// True when debugging mode is on and the data folder is writable (a
// read-only data folder silences debug output without a message).
bool debugOutputEnabled(const model::ModelState& state);

template <class T, int Upper>
void writeOutputArrayFile(const std::string& path, const std::string& title,
                          const model::BoundedArray<T, Upper>& values) {
    writeOutputArrayFile(path, title, std::span<const double>(values.begin(), values.end()));
}

// Swallows debug-write failures for one run and reports the first one.
class DebugFileReporter {
public:
    explicit DebugFileReporter(platform::Messages& messages) : messages_(messages) {}

    // Runs `write`; any exception it throws is reported (the first time
    // only) and swallowed. Returns true when the write succeeded.
    template <class Fn>
    bool attempt(const std::string& path, Fn&& write) noexcept {
        try {
            write();
            return true;
        } catch (const std::exception& e) {
            failed(path, e.what());
        } catch (...) {
            failed(path, "unknown error");
        }
        return false;
    }

    // writeOutputArrayFile under the reporter's protection.
    bool writeArray(const std::string& path, const std::string& title, std::span<const double> values) noexcept;

    // A text file of these lines (its folder made when missing), under
    // the reporter's protection.
    bool rewriteLines(const std::string& path, std::vector<std::string> lines) noexcept;

    template <class T, int Upper>
    bool writeArray(const std::string& path, const std::string& title,
                    const model::BoundedArray<T, Upper>& values) noexcept {
        return writeArray(path, title, std::span<const double>(values.begin(), values.end()));
    }

    // A worker's reporter: its writes wait for the site's commit, where
    // `window` (the run's own reporter) makes them in the run's order.
    void deferTo(DebugFileReporter& window, platform::DeferredFeedback& record) {
        window_ = &window;
        record_ = &record;
    }

    bool anyFailed() const { return failures_ > 0; }
    int failures() const { return failures_; }

private:
    void failed(const std::string& path, const std::string& reason) noexcept;

    platform::Messages& messages_;
    int failures_ = 0;
    DebugFileReporter* window_ = nullptr;
    platform::DeferredFeedback* record_ = nullptr;
};

}  // namespace quor::wave
