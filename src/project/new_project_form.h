#pragma once
// The New Project dialog without its widgets: what each control holds and
// what each button does. The Qt dialog shows this state and forwards its
// events; tests press the buttons directly.
#include <string>

#include "project/project_context.h"
#include "project/project_window.h"

namespace quor::project {

inline constexpr const char* kNoBathymetrySelected = " No Bathymetry coverage is selected. No Project file will be created";
inline constexpr const char* kNoShorelineSelected = " No Shoreline coverage is selected. No Project file will be created";
inline constexpr const char* kNoWindSelected = " No Wind data is selected. No Project file will be created";
inline constexpr const char* kNoUnitsSelected = " No Bathymetry units are selected. Please select from the options.";
inline constexpr const char* kErrorSelectingBathymetry = "Error selecting Bathymetry.";
inline constexpr const char* kErrorSelectingShoreline = "Error selecting Shoreline.";
inline constexpr const char* kNoSuchWindFile = "The wind data file cannot be found: ";

class NewProjectForm {
public:
    NewProjectForm(ProjectContext& context, ProjectWindow& window);

    // Control state.
    std::string Text1;                 // bathymetry name
    bool Check1 = false;               // "Bathymetry Positive"
    std::string Combo1 = "Meter";      // units: "Meter", "Feet", "Centimeter"
    bool Option1 = true;               // shoreline is a shapefile
    bool Option2 = false;              // shoreline is a coverage class
    bool shoreKindEnabled = true;      // Option1 and Option2
    bool shorelineEnabled = true;      // Frame4, Text2, Command2
    std::string Text2;                 // shoreline folder and name
    bool Option_manualVisible = true;  // hidden in RWE mode
    bool Option_manual = false;
    bool Option_text = true;
    bool windFileVisible = true;       // Label3, Command3
    bool windEnabled = true;           // Frame2 and its controls
    std::string Text3;                 // wind file path
    bool Check2 = false;               // "Check for Batch Processing"
    bool closed = false;

    void Form_Load();
    void Command1_Click();  // bathymetry Browse...
    void Command2_Click();  // shoreline Browse...
    void Command3_Click();  // wind file Browse...
    // A path typed or pasted into a box, taken and checked as if browsed;
    // a refused path leaves the box showing the choice it had.
    void Text1_Typed(const std::string& path);
    void Text2_Typed(const std::string& path);
    void Text3_Typed(const std::string& path);
    void Option_manual_Click();
    void Option_text_Click();
    void Check2_Click();    // after Check2 changed
    // The checks of OK; closes the form when they pass.
    void newpro_ok_Click();
    void newpro_cancel_Click();

private:
    void takeBathymetry(gis::DatasetChooser& chooser);
    void takeShoreline(gis::DatasetChooser& chooser);
    void takeWindFile(FileChooser& chooser);

    ProjectContext& ctx_;
    ProjectWindow& window_;
};

}  // namespace quor::project
