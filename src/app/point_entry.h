#pragma once
// Point entry on the map: the "addpoint" button makes a new point class in
// the project geodatabase, every left click adds a point to it with a
// cross marker, a right click shows the clicked coordinates, "Cancel"
// deletes the class and "Build" keeps it as a point dataset of the project.
#include <array>
#include <optional>
#include <string>

#include "app/map_tools.h"
#include "gis/point_display.h"
#include "model/model_state.h"
#include "platform/feedback.h"
#include "project/run_hold.h"

namespace quor::app {

// What point entry needs of the main window beyond the map.
class PointEntryHost : public gis::PointDatasetTree {
public:
    // Enables or disables the project commands point entry governs.
    virtual void setcontrols(bool enabled) = 0;
    virtual void setAddPointEnabled(bool enabled) = 0;
    // "Cancel" (canceladdpt) and "Build" (refresher): shown and enabled, or hidden and disabled.
    virtual void showCancel(bool on) = 0;
    virtual void showBuild(bool on) = 0;
    // The coordinate message: "x y".
    virtual void showcoords(int32_t x, int32_t y) = 0;
    // Save Project.
    virtual void Savepr_Click() = 0;
    // Removes every project-tree node after the fourth, from the last down.
    virtual void removePointDatasetNodes() = 0;
};

class PointEntry final : public MapPointEntry {
public:
    static constexpr int kTableSize = 500;

    PointEntry(const model::ModelState& state, model::MainFormState& form, model::SettingsHolder& holder,
               platform::Messages& messages, MapView& view, ToolButtons& buttons, PointEntryHost& host);

    // The "addpoint" button was clicked.
    void start();
    bool active() const { return buttons_.pressed(kProjectToolbarId, "addpoint"); }

    void enterPoint(double mapX, double mapY) override;
    void showCoordinates(double mapX, double mapY) override;
    void redrawPoints() override;

    void canceladdpt_Click();
    void refresher_Click();

    // Entry k (1..500) of the kept points.
    pg::Point keptPoint(int k) const { return table_.at(static_cast<std::size_t>(k - 1)); }

private:
    void backToIdle();

    const model::ModelState& state_;
    model::MainFormState& form_;
    model::SettingsHolder& holder_;
    platform::Messages& messages_;
    MapView& view_;
    ToolButtons& buttons_;
    PointEntryHost& host_;
    std::array<pg::Point, kTableSize> table_{};
    // The project's run lock, from the new class until Build or Cancel:
    // every click writes into the project's geodatabase.
    std::optional<project::RunLocks> writing_;
};

}  // namespace quor::app
