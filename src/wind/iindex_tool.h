#pragma once
// Reweighting a fast-run REI dataset with another wind climate: the eight
// wind-free directional class values "Indexne" ... "Indexee" of every
// feature are weighted with the speeds and percentages of a REI wind file
// into "IIndex", by the index formula of the run, for the fetch and
// interrogation distance the run used. No ray is cast, and the open
// project's wind file and wind holder are left alone.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/feedback.h"
#include "platform/gis/feature_class.h"
#include "rei/rei_run.h"

namespace quor::wind {

inline constexpr const char* kNoIndividualIndex = "Shapefile doesn't have individual index";
inline constexpr const char* kBadFetchOrDistance =
    "Please select appropriate Fetch and bathymetry interrogation distance values";
inline constexpr const char* kReplaceIIndex = "Selected shapefile already has Index, do you want to replace it?";
inline constexpr const char* kChooseDataset = "Please choose a point dataset to process.";

struct IIndexInput {
    std::shared_ptr<platform::gis::FeatureClass> dataset;
    std::string windFile;      // a REI wind file of 20 to 29 lines
    std::string fetchText;     // F, metres
    std::string distanceText;  // D, metres
};

enum class IIndexEnd { Written, Refused, Declined, Failed };

struct IIndexOutcome {
    IIndexEnd end = IIndexEnd::Refused;
    std::int64_t features = 0;
    std::int64_t written = 0;
    std::int64_t missing = 0;  // features with an empty directional value: IIndex left empty
    std::int64_t notFinite = 0;  // features whose IIndex would not be a finite number: left empty
};

// The "Process Shapefile" tool's OK. The busy state (pointers, status
// caption, progress window) is undone on every exit.
IIndexOutcome processIIndex(const IIndexInput& in, platform::Messages& messages, platform::Progress& progress,
                            model::RunShell* shell = nullptr);

}  // namespace quor::wind
