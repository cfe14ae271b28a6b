#pragma once
// Points entered on the map and the display of the project's point
// datasets: one clicked point into the class being filled, with its cross
// marker, and every point class of the project geodatabase as a map layer
// and a project-tree node.
#include <string>
#include <vector>

#include "model/model_state.h"
#include "platform/gis/geometry.h"
#include "platform/gis/map.h"

namespace quor::gis {

namespace pg = platform::gis;

// The entered-point marker: simple marker, size 6, style 2 (the cross).
// The RGB colour is given as outline colour, and the outline is off, so
// the cross shows in the symbol's default colour.
struct MarkerSymbol {
    double size = 6;
    int style = 2;
    int outlineRed = 12, outlineGreen = 12, outlineBlue = 14;
    bool outline = false;
};

// Where pointcrt draws: the map view's screen, and the "Build" button.
class PointMarkerDisplay {
public:
    virtual ~PointMarkerDisplay() = default;
    // Straight onto the screen, not into a layer.
    virtual void drawMarker(const pg::Point& p, const MarkerSymbol& symbol) = 0;
    // "Build" (refresher) visible and enabled.
    virtual void showBuild() = 0;
};

// The project tree as displaypointdata fills it.
class PointDatasetTree {
public:
    virtual ~PointDatasetTree() = default;
    // A node under the node keyed "Node1", at the given tree position, with
    // this key, text and picture.
    virtual void addPointDatasetNode(int position, const std::string& key, const std::string& text, int image) = 0;
};

// Adds one feature to mainform.sfeatureclass1 with the point as shape and
// pointx, pointy in fields 2 and 3 ("X", "Y"), draws the marker and shows
// "Build". Any failure ends it silently; what was done stays.
void pointcrt(model::MainFormState& mainform, PointMarkerDisplay& display, double pointx, double pointy);

// True for the names of the run's work classes (case respected).
bool isWorkClassName(const std::string& name);

// Every feature class of the project geodatabase: work classes left by an
// interrupted run are deleted (only by a caller that holds the project's
// run lock: `clearWorkClasses`; otherwise they are left out), every other
// class becomes a layer on top of the map (named as the class) and a tree
// node "node5"<position> with picture 5 at positions 5, 6, ... The names
// are read first, then the work classes go, then layers and nodes are
// added. A failure ends it silently; what was added stays. The map is not
// redrawn here.
void displaypointdata(model::MainFormState& mainform, pg::Map& map, PointDatasetTree& tree,
                      bool clearWorkClasses = true);

}  // namespace quor::gis
