#pragma once
// The point-entry wizard without its widgets: the user states how many
// points, their coordinate system (longitude/latitude or UTM zone 3..20)
// and datum, types them one page at a time, and Finish makes a point class
// "Pointdata_ext"n of the project geodatabase in the shoreline's spatial
// reference.
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gis/feature_class.h"
#include "platform/gis/geometry.h"
#include "platform/gis/spatial_reference.h"
#include "project/project_context.h"

namespace quor::project {

inline constexpr int kMaxEnteredPoints = 100;
inline constexpr const char* kEnterPointCount = "Please enter number of points";
inline constexpr const char* kEnterPointCountRange = "Please enter a whole number of points from 1 to 100";
inline constexpr const char* kSelectSystem = "Please select the coordinate system for point coordinates";
inline constexpr const char* kSelectZone = "Please select the proper zone for UTM";
inline constexpr const char* kSelectDatum = "Please select the datum for point coordinates";
inline constexpr const char* kEnterNumericCoordinates = "Please enter the coordinates as numbers";
inline constexpr const char* kCheckCoordinates = " Please check the format of the coordinates";
inline constexpr const char* kShorelineNoReference = "Shoreline doesn't have spatial reference";
inline constexpr const char* kNoReferenceForPoints =
    "The project has neither a shoreline nor a bathymetry with a spatial reference; the points cannot be placed.";

// The EPSG code of typed coordinates: system "LAT/LONG" or "UTM" and datum
// "NAD 1927", "NAD 1983" or "WGS 1984", compared without regard to case.
// Nothing for any other pair or a zone outside 3..20.
std::optional<int> enteredPointsEpsg(const std::string& system, const std::string& datum, int zone);

// The first free "Pointdata_ext" number, walking the names once in their
// order and counting up on each "POINTDATA_EXT"n (any letter case).
int nextPointdataExtNumber(const std::vector<std::string>& classNames);

// The reference entered points are placed in: the project shoreline's, or,
// without a shoreline, the bathymetry's. GisError with the message to show
// when there is none.
platform::gis::SpatialReference enteredPointsTarget(const model::MainFormState& form);

// Projects every point, then creates the class and its features in one
// transaction and puts a layer on top of the map. Nothing is created when
// any step fails; the failure is shown. Returns the class or null.
std::shared_ptr<platform::gis::FeatureClass> createEnteredPoints(ProjectContext& ctx, int epsg,
                                                                 const std::vector<platform::gis::Point>& typed);

class EnterPointWizard {
public:
    explicit EnterPointWizard(ProjectContext& context);

    // Control state.
    std::string Text1 = "1";         // number of points
    std::string Combo1 = "lat/long"; // coordinate system
    std::string Combo2 = "0";        // UTM zone
    std::string Combo3;              // datum
    std::string Text2 = "0", Text3 = "0";
    std::string Label3_0, Label3_1, Label4;
    std::string Command1 = "next", Command2 = "previous";
    bool Command2Enabled = false;
    bool Combo2Visible = false;
    bool settingsEnabled = true;  // Text1, Combo1, Combo2, Combo3
    bool closed = false;

    int16_t pt_count = 0;
    std::array<double, kMaxEnteredPoints + 1> pt_x{}, pt_y{};

    void Form_Load();
    void Combo1_Change();
    void Command1_Click();
    void Command2_Click();
    bool validate_ptentry();
    void create_ptdata();

    // The list contents of the system, zone and datum boxes.
    static std::vector<std::string> systems();
    static std::vector<std::string> zones();
    static std::vector<std::string> datums();

private:
    bool isUtm() const;
    int count() const;
    ProjectContext& ctx_;
};

}  // namespace quor::project
