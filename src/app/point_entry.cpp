#include "app/point_entry.h"

#include <limits>

#include "gis/geodatabase.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/workspace.h"
#include "project/project_commands.h"

namespace quor::app {

namespace {

// Counts what reaches the user, so that a failure already reported by the
// geodatabase is not reported a second time.
class CountingMessages final : public platform::Messages {
public:
    explicit CountingMessages(platform::Messages& inner) : inner_(inner) {}
    void message(const std::string& text, platform::MessageIcon icon, const std::string& title) override {
        ++count;
        inner_.message(text, icon, title);
    }
    bool question(const std::string& text, const std::string& title) override {
        return inner_.question(text, title);
    }
    int count = 0;

private:
    platform::Messages& inner_;
};

class ViewMarkers final : public gis::PointMarkerDisplay {
public:
    ViewMarkers(MapView& view, PointEntryHost& host) : view_(view), host_(host) {}
    void drawMarker(const pg::Point& p, const gis::MarkerSymbol&) override { view_.drawMarker(p.x, p.y); }
    void showBuild() override { host_.showBuild(true); }

private:
    MapView& view_;
    PointEntryHost& host_;
};

}  // namespace

PointEntry::PointEntry(const model::ModelState& state, model::MainFormState& form, model::SettingsHolder& holder,
                       platform::Messages& messages, MapView& view, ToolButtons& buttons, PointEntryHost& host)
    : state_(state), form_(form), holder_(holder), messages_(messages), view_(view), buttons_(buttons), host_(host) {}

void PointEntry::start() {
    if (active()) return;
    if (!messages_.question("Do you want to create a new point feature class in current project?")) {
        buttons_.setPressed(kProjectToolbarId, "addpoint", false);
        view_.setMousePointer(kPointerArrow);
        return;
    }
    writing_.emplace(form_.projfile, form_.projname, std::string());
    if (const auto why = writing_->refusal(form_.projname)) {
        writing_.reset();
        buttons_.setPressed(kProjectToolbarId, "addpoint", false);
        view_.setMousePointer(kPointerArrow);
        messages_.message(*why, platform::MessageIcon::Exclamation);
        return;
    }
    CountingMessages counted(messages_);
    try {
        buttons_.setPressed(kProjectToolbarId, "addpoint", true);
        host_.setAddPointEnabled(false);
        host_.setcontrols(false);
        view_.setMousePointer(kPointerCross);
        form_.sfeatureclass1 = gis::createAccessWorkspace(form_, counted, form_.projfile, form_.projname);
        if (!form_.sfeatureclass1) throw std::runtime_error("no point class");
        form_.geodatabasename = gis::geodatabaseFileName(form_.projname);
        form_.crt = 0;
        host_.showCancel(true);
    } catch (const std::exception&) {
        // Leaving only Exit usable, or taking clicks into no class, would
        // strand the user: back to the idle state with one message.
        form_.sfeatureclass1.reset();
        backToIdle();
        if (counted.count == 0)
            messages_.message("Could not create a new point feature class in the project geodatabase.",
                              platform::MessageIcon::Critical);
    }
}

void PointEntry::backToIdle() {
    writing_.reset();
    buttons_.setPressed(kProjectToolbarId, "addpoint", false);
    host_.setAddPointEnabled(true);
    host_.setcontrols(true);
    view_.setMousePointer(kPointerArrow);
    host_.showBuild(false);
    host_.showCancel(false);
}

void PointEntry::enterPoint(double mapX, double mapY) {
    if (form_.crt < std::numeric_limits<int16_t>::max()) ++form_.crt;
    ViewMarkers display(view_, host_);
    gis::pointcrt(form_, display, mapX, mapY);
    if (form_.crt <= kTableSize) table_[static_cast<std::size_t>(form_.crt - 1)] = {mapX, mapY};
}

void PointEntry::showCoordinates(double mapX, double mapY) {
    auto x = roundToWhole(mapX), y = roundToWhole(mapY);
    if (x && y) host_.showcoords(*x, *y);
}

void PointEntry::redrawPoints() {
    view_.setMousePointer(kPointerCross);
    for (const char* key : {"zoomin", "zoomout", "zoomselect", "fullextent", "pan"})
        buttons_.setPressed(kMapToolbarId, key, false);
    const int n = std::min<int>(form_.crt, kTableSize);
    for (int k = 0; k < n; ++k) view_.drawMarker(table_[static_cast<std::size_t>(k)].x, table_[static_cast<std::size_t>(k)].y);
}

void PointEntry::canceladdpt_Click() {
    try {
        if (form_.sfeatureclass1) {
            auto ws = form_.sfeatureclass1->workspace();
            ws->deleteFeatureClass(form_.sfeatureclass1->name());
        }
        form_.sfeatureclass1.reset();
        backToIdle();
        view_.refreshView();
    } catch (const std::exception&) {
        // The class is still there: point entry stays on, Cancel offered.
    }
}

void PointEntry::refresher_Click() {
    try {
        host_.Savepr_Click();
        host_.removePointDatasetNodes();
        pg::Map& map = view_.map();
        // The bathymetry, and the shoreline unless the mode's fast algorithm left it off the map.
        const int keep = model::fastAlgorithm(state_, holder_) ? 1 : 2;
        for (int i = map.layerCount() - 1 - keep; i >= 0; --i) map.deleteLayer(i);
        view_.refreshView();
        if (!form_.geodatabasename.empty()) gis::displaypointdata(form_, map, host_);
        project::showListedShapefiles(form_, map);
        backToIdle();
    } catch (const std::exception&) {
        // The first failing step ends Build; what was done stays.
    }
}

}  // namespace quor::app
