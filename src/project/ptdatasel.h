#pragma once
// Where every model run starts: the choice of the point dataset whose
// sites are computed (a "Pointdata" class of the project or a point
// shapefile added earlier), opened and handed to the run driver of the
// current mode. The drivers of later subsystems are reached through slots
// that the application fills; an empty slot tells the user so.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "platform/feedback.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/map.h"

namespace quor::project {

namespace pg = platform::gis;

inline constexpr const char* kPtdataselTitle = "Select Point Dataset";
inline constexpr const char* kPtdataselBatchTitle = "Select Point Dataset (Batch Mode)";
inline constexpr const char* kPtdataselLabel = "Select point feature dataset to run model";
inline constexpr const char* kPtdataselFrame = "Select Point Data";
inline constexpr const char* kPtdataselCheck =
    "Output fetch length (Ray1 as east ray with increasing number in anti-clockwise direction).";
inline constexpr const char* kSelectValidPoint = "Please select a valid point file";

// The chosen dataset, readable after the dialog has closed.
struct PointDatasetChoice {
    std::string pointsel;  // the text chosen: a class name or a shapefile path
    std::string shpdir;    // the folder holding the geodatabase, or the shapefile's folder
    // What the run's metadata file there is named after: the geodatabase's
    // file name and the class name, or the shapefile's file name with ".shp".
    std::string shpname1;
    std::string pointData;  // the dataset as its metadata file names it
    // A copy the run's caller keeps only once the run has completed.
    bool workingCopy = false;
};

// A run's point dataset, opened, with the choice that names it.
struct RunPoints {
    std::shared_ptr<pg::FeatureClass> fc;
    PointDatasetChoice choice;
};

// The class `name` of a geodatabase (the project's, or any GeoPackage) as
// a run's point dataset. The shapefile at `path` as a run's point dataset.
// GisError with the reason, also when the dataset does not hold points.
RunPoints openGeodatabasePoints(const std::shared_ptr<pg::Workspace>& geodatabase, const std::string& name);
RunPoints openShapefilePoints(const std::string& path);

// The run drivers, filled by the application. Each gets the opened class
// and counterstart (1 for a project class, 0 for a shapefile).
struct RunDrivers {
    using Driver = std::function<void(const std::shared_ptr<pg::FeatureClass>&, int16_t counterstart,
                                      const PointDatasetChoice& choice)>;
    Driver runmodel;          // the REI model
    Driver WaveMain;          // one RWE run
    Driver batch_processing;  // an RWE batch run
};

// The candidates of the list: map layers from the top down to the layer
// above the bottom k - 1 (k = 2 with the mode's fast algorithm, which
// shows no shoreline, else 3) whose name begins with "POINTDATA" in any
// case, then the shapefiles of shpcol.
std::vector<std::string> pointDatasetCandidates(const pg::Map& map, const model::ModelState& state,
                                                const model::SettingsHolder& holder,
                                                const model::MainFormState& mainform);

// Cuts a path at its last "/" or "\": the folder and the name.
std::pair<std::string, std::string> splitAtLastSeparator(const std::string& path);

class ptdatasel {
public:
    ptdatasel(model::ModelState& state, model::MainFormState& mainform, const model::SettingsHolder& holder,
              const pg::Map& map, platform::Messages& messages, RunDrivers& drivers)
        : s_(state), mf_(mainform), holder_(holder), map_(map), messages_(messages), drivers_(drivers) {}

    // Each showing: title, check box, the list; fetchlength back to 0.
    void Form_Load();
    const std::string& title() const { return title_; }
    bool checkVisible() const { return checkVisible_; }
    const std::vector<std::string>& items() const { return items_; }

    // OK with the list's text and the check box. Opens the dataset and,
    // once it is open, calls `unload` and the driver of the mode. False
    // when the dialog stays open (an empty choice, a dataset that cannot
    // be opened); the reason has been shown.
    bool Command1_Click(const std::string& text, bool checked, const std::function<void()>& unload);
    // Cancel: the run button goes idle again through `runIdle`.
    void Command2_Click();
    std::function<void()> runIdle;

    PointDatasetChoice result;

private:
    model::ModelState& s_;
    model::MainFormState& mf_;
    const model::SettingsHolder& holder_;
    const pg::Map& map_;
    platform::Messages& messages_;
    RunDrivers& drivers_;
    std::string title_ = kPtdataselTitle;
    bool checkVisible_ = true;
    std::vector<std::string> items_;
};

}  // namespace quor::project
