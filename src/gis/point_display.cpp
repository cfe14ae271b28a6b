#include "gis/point_display.h"

#include <algorithm>
#include <array>

#include "gis/deleterays.h"
#include "gis/geodatabase.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/workspace.h"

namespace quor::gis {

void pointcrt(model::MainFormState& mainform, PointMarkerDisplay& display, double pointx, double pointy) {
    try {
        if (!mainform.sfeatureclass1) return;
        pg::Feature f = mainform.sfeatureclass1->createFeature();
        f.setValue(2, pointx);
        f.setValue(3, pointy);
        f.setShape(pg::Geometry::point(pointx, pointy));
        mainform.sfeatureclass1->store(f);
        display.drawMarker({pointx, pointy}, MarkerSymbol{});
        display.showBuild();
    } catch (const std::exception&) {
        // The click still counts; the caller goes on.
    }
}

bool isWorkClassName(const std::string& name) {
    static const std::array<const char*, 5> names = {"rays", "orp_rays", "Inter_ray", "Inter_rays", "EffF_rays"};
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}

void displaypointdata(model::MainFormState& mainform, pg::Map& map, PointDatasetTree& tree, bool clearWorkClasses) {
    try {
        auto workspace = pg::Workspace::openGeoPackage(geodatabasePath(mainform.projfile, mainform.projname));
        if (!mainform.ptworkspace) return;
        // Deleting while walking the same list would skip the class after
        // each deleted one: take the names first.
        const std::vector<std::string> names = mainform.ptworkspace->featureClassNames();
        std::vector<std::string> datasets;
        for (const std::string& name : names) {
            if (isWorkClassName(name)) {
                if (clearWorkClasses) deleterays(mainform.ptworkspace, name);
            } else
                datasets.push_back(name);
        }
        int counter = 4;
        for (const std::string& name : datasets) {
            auto fc = workspace->openFeatureClass(name);
            map.addLayer(pg::Layer::featureLayer(fc, name));
            ++counter;
            tree.addPointDatasetNode(counter, "node5" + std::to_string(counter), name, 5);
        }
    } catch (const std::exception&) {
        // What was shown stays; the remaining classes are not shown.
    }
}

}  // namespace quor::gis
