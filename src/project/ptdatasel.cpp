#include "project/ptdatasel.h"

#include <exception>

#include "platform/ascii_case.h"
#include "platform/folders.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/workspace.h"
#include "project/metadata_file.h"

namespace quor::project {

namespace {

bool beginsWithPointdata(const std::string& name) {
    return platform::upperAscii(name.substr(0, 9)) == "POINTDATA";
}

}  // namespace

std::vector<std::string> pointDatasetCandidates(const pg::Map& map, const model::ModelState& state,
                                                const model::SettingsHolder& holder,
                                                const model::MainFormState& mainform) {
    std::vector<std::string> out;
    const int k = model::fastAlgorithm(state, holder) ? 2 : 3;
    for (int i = 0; i <= map.layerCount() - k; ++i) {
        const std::string& name = map.layer(i)->name();
        if (beginsWithPointdata(name)) out.push_back(name);
    }
    for (const auto& path : mainform.shpcol) out.push_back(path);
    return out;
}

std::pair<std::string, std::string> splitAtLastSeparator(const std::string& path) {
    const auto pos = path.find_last_of("/\\");
    if (pos == std::string::npos) return {std::string(), path};
    return {path.substr(0, pos), path.substr(pos + 1)};
}

namespace {

void requirePoints(const pg::FeatureClass& fc, const std::string& shown) {
    if (fc.geometryType() != pg::GeometryType::Point) throw pg::GisError("\"" + shown + "\" is not a point dataset.");
}

}  // namespace

RunPoints openGeodatabasePoints(const std::shared_ptr<pg::Workspace>& geodatabase, const std::string& name) {
    if (!geodatabase) throw pg::GisError("There is no open project geodatabase.");
    RunPoints p;
    p.fc = geodatabase->openFeatureClass(name);
    const std::string& file = geodatabase->path();
    p.choice = {name, splitAtLastSeparator(file).first, metadataName(file, name), pointDataText(file, name)};
    requirePoints(*p.fc, name);
    return p;
}

RunPoints openShapefilePoints(const std::string& path) {
    auto [dir, name] = splitAtLastSeparator(path);
    RunPoints p;
    p.choice = {path, dir, metadataName(path, ""), pointDataText(path, "")};
    auto ws = pg::Workspace::open(dir);
    std::string cls = name;
    if (platform::lowerExtension(cls) == ".shp") cls.resize(cls.size() - 4);
    p.fc = ws->openFeatureClass(cls);
    requirePoints(*p.fc, path);
    return p;
}

void ptdatasel::Form_Load() {
    const bool batch = s_.batch_mode == 1;
    checkVisible_ = !batch;
    title_ = batch ? kPtdataselBatchTitle : kPtdataselTitle;
    items_ = pointDatasetCandidates(map_, s_, holder_, mf_);
    mf_.fetchlength = 0;
}

bool ptdatasel::Command1_Click(const std::string& text, bool checked, const std::function<void()>& unload) {
    if (text.empty()) {
        messages_.message(kSelectValidPoint, platform::MessageIcon::Critical);
        return false;
    }
    RunPoints points;
    int16_t counterstart = 0;
    try {
        if (beginsWithPointdata(text)) {
            points = openGeodatabasePoints(mf_.ptworkspace, text);
            counterstart = 1;
        } else {
            if (text.find_first_of("/\\") == std::string::npos)
                throw pg::GisError("\"" + text + "\" is neither a point dataset of the project nor a shapefile path.");
            points = openShapefilePoints(text);
            counterstart = 0;
        }
    } catch (const std::exception& e) {
        messages_.message(e.what(), platform::MessageIcon::Critical);
        return false;
    }
    result = points.choice;
    mf_.fetchlength = checked && checkVisible_ ? 1 : 0;
    if (unload) unload();

    const RunDrivers::Driver* driver = nullptr;
    std::string missing;
    if (s_.model_mode == model::REI_MODE) {
        driver = &drivers_.runmodel;
        missing = "The REI model run is not available in this build.";
    } else if (s_.batch_mode == 1) {
        driver = &drivers_.batch_processing;
        missing = "The RWE batch run is not available in this build.";
    } else {
        driver = &drivers_.WaveMain;
        missing = "The RWE model run is not available in this build.";
    }
    try {
        if (!*driver) {
            messages_.message(missing, platform::MessageIcon::Exclamation);
            if (runIdle) runIdle();
        } else {
            (*driver)(points.fc, counterstart, result);
        }
    } catch (const std::exception& e) {
        messages_.message(e.what(), platform::MessageIcon::None);
    }
    return true;
}

void ptdatasel::Command2_Click() {
    if (runIdle) runIdle();
}

}  // namespace quor::project
