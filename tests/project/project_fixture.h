#pragma once
// A project workbench for the command tests: the shared state, a fake main
// window that records what the commands ask of it, scripted choosers, and
// small inputs (a bathymetry GeoTIFF, a shoreline shapefile, wind files)
// written into a temporary folder.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

#include "../gis/rays_test_data.h"
#include "gis/shorebathy.h"
#include "platform/gis/gis.h"
#include "platform/settings_store.h"
#include "platform/textfile.h"
#include "project/new_project_form.h"
#include "project/project_commands.h"
#include "project/project_file.h"
#include "project/ptdatasel.h"
#include "project/run_hold.h"
#include "test_support.h"

namespace quor::project::testing {

namespace pg = platform::gis;
namespace fs = std::filesystem;

class ScriptedDatasets final : public gis::DatasetChooser {
public:
    std::deque<std::optional<std::vector<gis::DatasetItem>>> answers;
    std::vector<std::string> titles;
    std::optional<std::vector<gis::DatasetItem>> choose(gis::DatasetFilter, const std::string& title) override {
        titles.push_back(title);
        if (answers.empty()) return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    void pick(const std::string& path, const std::string& cls = {}) { answers.push_back(std::vector<gis::DatasetItem>{{path, cls}}); }
};

struct TreeNode {
    std::string text;
    int image = 0;
};

class FakeWindow final : public ProjectWindow {
public:
    model::MainFormState* form = nullptr;
    model::ModelState* state = nullptr;

    std::vector<TreeNode> tree;
    std::vector<std::string> pointList;
    std::vector<int> selectedEntries;
    bool onTop = false;
    bool controlsEnabled = false;
    int disableCalls = 0, mapToolsEnabled = 0;
    std::map<int, std::string> panels;
    std::deque<std::optional<std::string>> files;  // answers of the file dialog
    std::vector<FileDialogRequest> fileRequests;
    ScriptedDatasets datasets;
    // What the user does in the New Project dialog.
    std::function<void(NewProjectForm&)> newProjectUser;

    int treeNodeCount() const override { return static_cast<int>(tree.size()); }
    std::string treeNodeText(int n) const override { return tree.at(n - 1).text; }
    int treeNodeImage(int n) const override { return tree.at(n - 1).image; }
    void setTreeNode(int n, const std::string& t, int image) override { tree.at(n - 1) = {t, image}; }
    void removeTreeNode(int n) override { tree.erase(tree.begin() + (n - 1)); }
    void clearTree() override { tree.clear(); }
    void addPointDatasetNode(int position, const std::string&, const std::string& text, int image) override {
        EXPECT_EQ(position, treeNodeCount() + 1);
        tree.push_back({text, image});
    }
    void buildprojtree() override {
        tree = {{form->projname, kImageProject},
                {form->bathyname, kImageBathymetry},
                {form->shorename, kImageShoreline},
                {state->wind_name, kImageWind}};
        controlsEnabled = true;
    }
    void disablecontrols() override {
        ++disableCalls;
        controlsEnabled = false;
    }
    void clearPointList() override { pointList.clear(); }
    void addPointListEntry(const std::string& t) override { pointList.push_back(t); }
    int pointListCount() const override { return static_cast<int>(pointList.size()); }
    std::string pointListEntry(int i) const override { return pointList.at(i); }
    std::vector<int> selectedPointListEntries() const override { return selectedEntries; }
    void removePointListEntry(int i) override { pointList.erase(pointList.begin() + i); }
    bool bathymetryOnTop() const override { return onTop; }
    void setBathymetryOnTop(bool v) override { onTop = v; }
    void enableMapTools() override { ++mapToolsEnabled; }
    void setBusy(bool, const std::string&) override {}
    void setStatusPanel(int p, const std::string& t) override { panels[p] = t; }
    gis::DatasetChooser& datasetChooser() override { return datasets; }
    void showNewProjectDialog(NewProjectForm& f) override {
        if (newProjectUser) newProjectUser(f);
    }
    std::optional<std::string> chooseFile(const FileDialogRequest& r) override {
        fileRequests.push_back(r);
        if (files.empty()) return std::nullopt;
        auto a = files.front();
        files.pop_front();
        return a;
    }
};

// Writes an REI wind file with the given line count (>= 20).
inline void writeReiWind(const std::string& path, int lines = 20) {
    std::vector<std::string> l = {"Winddata File Quor Project", "", "Created on: today", ""};
    for (int k = 0; k < 8; ++k) {
        l.push_back(std::to_string(3 + k));
        l.push_back("12.5");
    }
    while (static_cast<int>(l.size()) < lines) l.push_back("");
    platform::writeTextLines(path, l);
}

// Everything a project needs, in a temporary folder:
//   data/bathy.tif   30 x 25 m cells, depths -1 .. -20 (one sign)
//   data/shore/coast.shp   the water polygon
//   data/north.Wind_RWE, data/north.Wind_REI
//   projects/        dir_path
struct Workbench {
    test::TempDir tmp;
    std::string data, projects;
    model::ModelState state;
    model::MainFormState form;
    model::SettingsHolder holder;
    model::WindSummary wind;
    platform::IniSettingsStore settings;
    test::RecordingMessages messages;
    test::RecordingProgress progress;
    pg::Map map;
    FakeWindow window;
    std::vector<std::string> windLoads;
    bool windLoadSucceeds = true;
    std::unique_ptr<ProjectCommands> commands;

    Workbench() : settings(tmp.file("settings")) {
        data = tmp.file("data");
        projects = tmp.file("projects");
        fs::create_directories(data);
        fs::create_directories(projects);
        namespace td = gis::testdata;
        td::writeBathymetry(data + "/bathy.tif", 0, 0, 30, 40, 40,
                            [](double x, double) { return -1 - 19 * x / 1200; });
        // The GeoTIFF above has square cells; a second one with 30 x 25 cells.
        writeRectangularCells(data + "/rect.tif", 30, 25);
        td::writeShoreline(data + "/shore", "coast", {{{{0, 0}, {1200, 0}, {1200, 1200}, {0, 1200}}}});
        writeReiWind(data + "/north.Wind_REI");
        platform::writeTextLines(data + "/north.Wind_RWE", {"Winddata File Quor Project"});
        form.dir_path = projects;
        form.proj_name = "Quor_proj";
        form.Fetch = 10000;
        form.dist_bathy = 100;
        state.app_folder = tmp.file("app");
        window.form = &form;
        window.state = &state;
        ProjectHooks hooks;
        hooks.loadwind = [this](const std::string& p) {
            windLoads.push_back(p);
            if (!windLoadSucceeds) {
                state.dlg_cancel = true;
                wind.windspd_ee = -1;  // a partial load
                return false;
            }
            wind.wind_file = p;
            return true;
        };
        commands = std::make_unique<ProjectCommands>(
            ProjectContext{state, form, holder, wind, settings, messages, map, hooks, &progress}, window);
    }

    static void writeRectangularCells(const std::string& path, double cx, double cy) {
        GDALAllRegister();
        auto* drv = GetGDALDriverManager()->GetDriverByName("GTiff");
        std::unique_ptr<GDALDataset> ds(drv->Create(path.c_str(), 4, 4, 1, GDT_Float32, nullptr));
        double gt[6] = {gis::testdata::kX0, cx, 0, gis::testdata::kY0 + 4 * cy, 0, -cy};
        ds->SetGeoTransform(gt);
        OGRSpatialReference sr;
        sr.importFromEPSG(32755);
        ds->SetSpatialRef(&sr);
        std::vector<float> v(16, -5.0f);
        v[0] = 3.0f;  // both signs
        if (ds->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, 4, 4, v.data(), 4, 4, GDT_Float32, 0, 0) != CE_None)
            throw std::runtime_error("cannot write raster");
    }

    // The user picks bathymetry, shoreline and the RWE wind file and presses OK.
    void answerNewProject(bool batch = false, bool withWind = true) {
        window.datasets.pick(data + "/bathy.tif");
        window.datasets.pick(data + "/shore/coast.shp");
        if (withWind)
            window.files.push_back(data + (state.model_mode == model::REI_MODE ? "/north.Wind_REI" : "/north.Wind_RWE"));
        window.newProjectUser = [this, batch, withWind](NewProjectForm& f) {
            f.Command1_Click();
            if (!model::fastAlgorithm(state, holder)) f.Command2_Click();
            if (withWind) f.Command3_Click();
            f.Check2 = batch;
            f.Check2_Click();
            f.newpro_ok_Click();
        };
    }

    // Creates a project through New Project; returns its file path.
    std::string newProject(bool batch = false, bool withWind = true) {
        answerNewProject(batch, withWind);
        commands->NewPr_Click();
        return projectFilePath(form.projfile, form.projname, state.model_mode);
    }

    std::vector<std::string> messageTexts() const { return messages.texts(); }
    std::string layerNames() const {
        std::string s;
        for (const auto& l : map.layers()) s += (s.empty() ? "" : ",") + l->name();
        return s;
    }
};

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The point-dataset chooser of the workbench's project, whose RWE driver
// only counts the runs it is asked for; shown, its messages cleared.
struct CountingRunStart {
    explicit CountingRunStart(Workbench& wb) : dialog(wb.state, wb.form, wb.holder, wb.map, wb.messages, drivers) {
        drivers.WaveMain = [this, &wb](const std::shared_ptr<pg::FeatureClass>& fc, int16_t,
                                       const PointDatasetChoice&) {
            // A driver takes its locks before anything else.
            const RunLocks locks(&wb.state.run_lock, wb.form.projfile, wb.form.projname, *fc);
            if (!locks.admit(wb.messages, &wb.state.unguarded_run_told)) ++runs;
        };
        dialog.Form_Load();
        wb.messages.entries.clear();
    }
    int runs = 0;
    RunDrivers drivers;
    ptdatasel dialog;
};

}  // namespace quor::project::testing
